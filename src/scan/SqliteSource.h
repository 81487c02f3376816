#pragma once

// The one way to open a backup's databases lives with the backup's files, whose manifest is one of
// them; scanners keep including it from here.
#include "discovery/SqliteSource.h"
