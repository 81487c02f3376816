#include "CliCommands.h"
#include "platform/WorkFolder.h"

int main(int argc, char** argv) {
    // Work folders of earlier runs that were killed outright go first.
    quarrow::WorkFolder::sweepStale();
    return quarrow::cli::run(argc, argv);
}
