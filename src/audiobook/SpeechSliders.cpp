#include "SpeechSliders.h"

#include <algorithm>
#include <cmath>

namespace quarrow {

namespace {
float fraction(int value, int maximum) {
    if (maximum <= 0) {
        return 0.0F;
    }
    return std::clamp(static_cast<float>(value) / static_cast<float>(maximum), 0.0F, 1.0F);
}
} // namespace

float rateForSlider(int value, int maximum) {
    return fraction(value, maximum) * 350.0F;
}

float volumeForSlider(int value, int maximum) {
    return fraction(value, maximum);
}

int engineRate(float wordsPerMinute) {
    if (!std::isfinite(wordsPerMinute)) {
        return 175;
    }
    return std::clamp(static_cast<int>(std::lround(wordsPerMinute)), kEngineRateMinimum, kEngineRateMaximum);
}

int engineVolume(float fraction) {
    if (!std::isfinite(fraction)) {
        return 100;
    }
    return std::clamp(static_cast<int>(std::lround(fraction * 100.0F)), 0, 200);
}

} // namespace quarrow
