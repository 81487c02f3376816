// A process that makes a work folder with a file in it, prints the folder's path and waits to be
// ended by a signal: the tests end it and look for what stayed behind.

#include "platform/WorkFolder.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

int main() {
    quarrow::WorkFolder folder("scan");
    const auto path = folder.path();
    if (!path) {
        return 1;
    }
    std::ofstream(*path + "/0.sqlite") << "private";
    std::printf("%s\n", path->c_str());
    std::fflush(stdout);
    for (;;) {
        ::pause();
    }
}
