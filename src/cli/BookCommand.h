#pragma once

#include <string>
#include <vector>

namespace quarrow::cli {

// `quarrow-cli book SUBCOMMAND ...`, given the arguments after the word "book":
//   info FILE [--json]                      what the import makes of a book file
//   text FILE [--chapter N | --page N]      the text the conversion would speak
//   list [--json]                           the saved imported books and the system library's
//   import FILE... [--json]                 imports books into the saved list
//   remove FILE...                          takes books off the saved list
// Answers 0 on success, 1 when a book cannot be read, 2 for bad usage.
int runBookCommand(const std::vector<std::string>& args);

} // namespace quarrow::cli
