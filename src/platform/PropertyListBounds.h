#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// How far a property list may nest and how many nodes it may expand to before libplist is allowed
// to build it. libplist builds, copies and frees its trees recursively, so a file of 100,000 nested
// one-element arrays (under a megabyte) overflows the stack, and a binary list whose objects refer
// to each other many times over expands exponentially. Device property lists nest a handful of
// levels and hold a few thousand nodes; these bounds are far above that and far below harm.
struct PropertyListBounds {
    std::size_t maxDepth = 256;
    std::size_t maxNodes = 500'000;
};

// Checks the bytes without recursing and without building anything: binary lists ("bplist00") by
// walking their object graph (references, cycles and shared objects counted as libplist would expand
// them), anything else as XML by following its element tags. Answers nothing when libplist may
// parse the bytes, or a short reason ("nested too deeply") when it must not. Bytes that are simply
// malformed in a way libplist rejects on its own may pass.
std::optional<std::string> propertyListOutOfBounds(std::string_view bytes, const PropertyListBounds& bounds = {});

} // namespace quarrow
