#pragma once

#include <cstddef>
#include <string>

namespace quarrow {

// Writes all `size` bytes to the descriptor, going on after interruptions and short writes. False
// with errno set when it fails (EIO when the descriptor takes no more bytes at all).
bool writeAll(int fd, const void* data, std::size_t size);

// Renames `from` to `to` unless something already exists at `to`. Answers 0, or the errno of the
// failure (EEXIST when the name is taken). Uses the kernel's no-replace rename, then a hard link,
// and on file systems that have neither (some network and FAT mounts) a check followed by a rename.
int renameNoReplace(const std::string& from, const std::string& to);

// Renames `from` into `folder` as "<stem><extension>", or "<stem> (2)<extension>", "(3)", ... the
// first name that is free, never replacing a file. Answers the path it took, or nothing (errno
// kept in `error`).
std::string renameToFreeName(const std::string& from, const std::string& folder, const std::string& stem,
                             const std::string& extension, int& error);

// Copies the file `from` to `to` unless something already exists there: the bytes go to a hidden
// temporary file beside `to`, which gets the name only when the copy is complete. Answers 0 or the
// errno of the failure (EEXIST when the name is taken); nothing is left behind on failure.
int copyFileNoReplace(const std::string& from, const std::string& to);

// "<stem><extension>" for n = 1, "<stem> (n)<extension>" otherwise.
std::string numberedName(const std::string& stem, const std::string& extension, int n);

} // namespace quarrow
