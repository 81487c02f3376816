#pragma once

#include "carving/Carver.h"
