#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarrow {

// The whole content of a regular file, read without following a link in its last component and
// without blocking on a FIFO; nothing when it is missing, not a regular file, unreadable or larger
// than `maxBytes`.
std::optional<std::string> readFileBytes(const std::string& path, std::uint64_t maxBytes);

// At most the first `maxBytes` bytes of a regular file, read the same way.
std::optional<std::string> readFileHead(const std::string& path, std::uint64_t maxBytes);

// Whether the path names a regular file (after links) or a folder.
bool isRegularFile(const std::string& path);
bool isFolder(const std::string& path);

// The last path component, and its extension (without the dot; empty when there is none).
std::string_view lastPathComponent(std::string_view path);
std::string_view pathExtension(std::string_view path);
// The last component without its extension.
std::string_view deletingPathExtension(std::string_view name);

// A name that can be a single file name: "/" and control characters become "_", a name made only
// of dots gets a leading "_", leading and trailing blanks go, and it is cut to at most 200 bytes at
// a character boundary. Used for every name that comes from a book or a library before it can reach
// the file system.
std::string safeFileName(std::string_view name);

} // namespace quarrow
