#include "CliCommands.h"

int main(int argc, char** argv) {
    return quarrow::cli::run(argc, argv);
}
