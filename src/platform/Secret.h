#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace quarrow {

// Bytes that must not outlive their use: a backup password, a key derived from it. The buffer has
// one fixed size (it never grows, so no stale copy is left behind by a reallocation), is never
// copied implicitly, and is cleared with OPENSSL_cleanse (which the compiler may not leave out)
// when it is destroyed, replaced or cleared.
class Secret {
public:
    Secret() = default;
    // `size` zero bytes, to be filled through data().
    explicit Secret(std::size_t size);
    Secret(const void* bytes, std::size_t size);
    explicit Secret(std::string_view bytes) : Secret(bytes.data(), bytes.size()) {}
    ~Secret();
    Secret(Secret&& other) noexcept;
    Secret& operator=(Secret&& other) noexcept;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;

    // An explicit copy, for the rare holder that must keep its own.
    Secret copy() const { return Secret(data(), size()); }
    // Keeps the first `size` bytes and clears the rest (for a buffer read into before its length
    // was known).
    void shrink(std::size_t size);
    void clear();

    unsigned char* data() { return bytes_.get(); }
    const unsigned char* data() const { return bytes_.get(); }
    const char* chars() const { return reinterpret_cast<const char*>(bytes_.get()); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {chars(), size_}; }

private:
    std::unique_ptr<unsigned char[]> bytes_;
    std::size_t size_ = 0;
};

} // namespace quarrow
