#pragma once

#include <string>
#include <vector>

namespace quarrow::cli {

// `quarrow-cli speak FILE [--to DIR] [--voice NAME] [--language LABEL] [--rate
// WPM] [--volume N]
// [--per-page | --per-chapter | --whole] [--json]`, and `quarrow-cli speak
// --voices [--json]`, given the arguments after the word "speak". Answers 0
// when every file was written, 1 when the book gives no audio (the reason on
// standard error), 2 for bad usage, 130 when interrupted.
int runSpeakCommand(const std::vector<std::string>& args);

} // namespace quarrow::cli
