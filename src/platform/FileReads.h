#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quarrow {

// Reads `size` bytes at `offset` into `buffer`, going on after interruptions and short reads.
// Answers the count read, fewer than `size` only where the file ends, or -1 with errno set.
ssize_t readAllAt(int fd, void* buffer, std::size_t size, off_t offset);

// Up to `size` leading bytes of the regular file `name` in the folder `folderFd` (fewer when the
// file is shorter). The file is opened read-only and never through a link, and without waiting: a
// FIFO or a device put in its place opens at once and is refused unread. Nothing, with errno set,
// when it cannot be opened or read or is not a regular file (EINVAL then).
std::optional<std::string> leadingBytesAt(int folderFd, const std::string& name, std::size_t size);

} // namespace quarrow
