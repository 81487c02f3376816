#pragma once

// Deliberately wrong: a carver must not know the scan.
#include "scan/ScanContext.h"
