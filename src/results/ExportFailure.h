#pragma once

#include <string>

namespace quarrow {

// Something an export could not write: where (the file or folder it meant to write) and what went
// wrong, in words a user can act on.
struct ExportFailure {
    std::string path;
    std::string reason;
};

} // namespace quarrow
