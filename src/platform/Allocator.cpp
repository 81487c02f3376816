#include "Allocator.h"

#include <malloc.h>

namespace quarrow {

void tuneAllocator() {
    // A scan makes its records (a few hundred bytes each, a hundred thousand and more) on threads
    // that read ahead. By default glibc gives each thread an arena of its own, and such an arena grows
    // by one mprotect call per page: reading 150,000 notes then costs more in the kernel than in
    // SQLite. With a single arena the readers of a full scan wait on its lock instead. Two arenas
    // measured best for both: the main one, grown in large steps, and one more, shared in turn.
    mallopt(M_ARENA_MAX, 2);
}

} // namespace quarrow
