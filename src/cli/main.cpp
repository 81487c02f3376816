#include "CliCommands.h"
#include "platform/Allocator.h"
#include "platform/WorkFolder.h"

int main(int argc, char** argv) {
    quarrow::tuneAllocator();
    // Work folders of earlier runs that were killed outright go first.
    quarrow::WorkFolder::sweepStale();
    return quarrow::cli::run(argc, argv);
}
