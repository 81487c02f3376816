#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace quarrow {

// Records by the hash of a compared text: an open-addressing table with linear probing, so that
// adding a hundred thousand notes costs a few cache lines each and no allocation per record. It
// keeps pointers only; the records are owned by the list they sit in and must outlive the index.
template <class Record> class ContentIndex {
public:
    void clear() {
        slots_.clear();
        size_ = 0;
    }

    void insert(std::size_t hash, const Record* record) {
        if ((size_ + 1) * 2 > slots_.size()) {
            grow();
        }
        place(hash, record);
        ++size_;
    }

    // True when some record stored under the hash satisfies `match`.
    template <class Match> bool any(std::size_t hash, Match&& match) const {
        if (slots_.empty()) {
            return false;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask; slots_[i].second; i = (i + 1) & mask) {
            if (slots_[i].first == hash && match(*slots_[i].second)) {
                return true;
            }
        }
        return false;
    }

private:
    void place(std::size_t hash, const Record* record) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].second) {
            i = (i + 1) & mask;
        }
        slots_[i] = {hash, record};
    }

    void grow() {
        std::vector<std::pair<std::size_t, const Record*>> old(slots_.empty() ? 1024 : slots_.size() * 2);
        old.swap(slots_);
        for (const auto& [hash, record] : old) {
            if (record) {
                place(hash, record);
            }
        }
    }

    std::vector<std::pair<std::size_t, const Record*>> slots_; // size a power of two, or empty
    std::size_t size_ = 0;
};

} // namespace quarrow
