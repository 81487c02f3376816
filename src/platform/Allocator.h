#pragma once

namespace quarrow {

// Sets up the C library's allocator for a process that makes many small records on worker threads.
// Call at the start of main, before any thread starts.
void tuneAllocator();

} // namespace quarrow
