#include "SpeechProgress.h"

namespace quarrow {

bool SpeechProgress::word(long long position, long long length) {
    if (length <= 0 || position <= 0) {
        return false;
    }
    const int before = percent();
    unsigned long long end =
        offset_ + static_cast<unsigned long long>(position - 1) + static_cast<unsigned long long>(length);
    if (end > total_) {
        end = total_;
    }
    if (end > done_) {
        done_ = static_cast<std::size_t>(end);
    }
    return percent() != before;
}

int SpeechProgress::percent() const {
    if (total_ == 0) {
        return 0;
    }
    return static_cast<int>(static_cast<unsigned long long>(done_) * 100 / total_);
}

} // namespace quarrow
