#include "Allocator.h"

#include <malloc.h>

namespace quarrow {

void tuneAllocator() {
    // A scan makes its records (a few hundred bytes each, a hundred thousand and more) on worker
    // threads. glibc would give each of those threads an arena of its own, and such an arena grows by
    // one mprotect call per page: a 64 MiB notes database then spends more time in the kernel than in
    // SQLite. The main arena grows in large steps instead; our few threads rarely meet on its lock.
    mallopt(M_ARENA_MAX, 1);
}

} // namespace quarrow
