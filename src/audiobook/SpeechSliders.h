#pragma once

namespace quarrow {

// The rate and volume sliders. A slider's value over its maximum is the fraction; the rate is the
// fraction of 350 words a minute (the middle of the slider speaks at 175), the volume the fraction
// of full loudness. The engine is given whole numbers within what it can do.
float rateForSlider(int value, int maximum);
float volumeForSlider(int value, int maximum);

// The engine's rate: the words a minute, rounded, kept within 80 to 450 (its slowest and fastest).
int engineRate(float wordsPerMinute);
// The engine's volume: full loudness is its normal level 100; kept within 0 to 200.
int engineVolume(float fraction);

constexpr int kRateSliderMaximum = 100;
constexpr int kVolumeSliderMaximum = 100;
constexpr int kEngineRateMinimum = 80;
constexpr int kEngineRateMaximum = 450;

} // namespace quarrow
