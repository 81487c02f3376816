#pragma once

// The deleted-note carver written plainly on top of the reading primitives, as the carving rules
// read: page tests on hex text, every offset of a page tried, every field read into a fresh zeroed
// buffer of one page and converted from its text, searches without limits, and pairing by walking
// every body for every note. Slow and simple, it is what the carver's own fast paths are compared
// with.

#include "carving/DbFileReader.h"

#include <string>
#include <vector>

namespace quarrow::test::ref {

// One line per rebuilt record in the order found: "note uid|title|date" or "body uid|text".
std::vector<std::string> carvedRecords(DbFileReader& file);

// One line per posted note, "uid|title|date|content", after pairing the records of carvedRecords.
std::vector<std::string> postedNotes(DbFileReader& file);

} // namespace quarrow::test::ref
