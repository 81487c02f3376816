#pragma once

#include <string>
#include <vector>

namespace quarrow::cli {

// `quarrow-cli audiobook FILE --to DIR [--m4b | --mp3] [--voice NAME] [--language LABEL] [--rate
// WPM] [--volume N] [--per-page | --per-chapter | --whole] [--json]`: speaks the book and joins its
// files into one audiobook in DIR (M4B with a chapter per file, or MP3). The spoken AIFF files
// live only in a private work folder. Answers 0 when the audiobook was written and checked, 1 when
// it could not be, 2 for bad usage, 130 when interrupted.
int runAudiobookCommand(const std::vector<std::string>& args);

} // namespace quarrow::cli
