#include "Secret.h"

#include <cstring>
#include <openssl/crypto.h>

namespace quarrow {

Secret::Secret(std::size_t size) : bytes_(size ? new unsigned char[size]() : nullptr), size_(size) {}

Secret::Secret(const void* bytes, std::size_t size) : Secret(size) {
    if (size) {
        std::memcpy(bytes_.get(), bytes, size);
    }
}

Secret::~Secret() {
    clear();
}

Secret::Secret(Secret&& other) noexcept : bytes_(std::move(other.bytes_)), size_(other.size_) {
    other.size_ = 0;
}

Secret& Secret::operator=(Secret&& other) noexcept {
    if (this != &other) {
        clear();
        bytes_ = std::move(other.bytes_);
        size_ = other.size_;
        other.size_ = 0;
    }
    return *this;
}

void Secret::shrink(std::size_t size) {
    if (size < size_) {
        OPENSSL_cleanse(bytes_.get() + size, size_ - size);
        size_ = size;
    }
}

void Secret::clear() {
    if (bytes_) {
        // What shrink() gave up was cleared then.
        OPENSSL_cleanse(bytes_.get(), size_);
        bytes_.reset();
    }
    size_ = 0;
}

} // namespace quarrow
