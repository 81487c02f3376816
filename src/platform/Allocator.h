#pragma once

namespace quarrow {

// Sets up the C library's allocator for a process that runs one scan and ends (the command line).
// Call at the start of main, before any thread starts. A process that scans again and again (the
// application) keeps the default: its threads' arenas, grown once, serve every later scan.
void tuneAllocator();

} // namespace quarrow
