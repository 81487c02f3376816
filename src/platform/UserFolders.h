#pragma once

#include <string>

namespace quarrow {

// A well-known folder of the user ("DOCUMENTS", "MUSIC", ...) as `xdg-user-dir` answers it: the
// XDG_<NAME>_DIR line of "$XDG_CONFIG_HOME/user-dirs.dirs" (or "~/.config/user-dirs.dirs"), where
// "$HOME" stands for the home folder; else the variable of that name in the environment. When
// neither names an absolute folder, "<home>/<fallback>" (xdg-user-dir itself would answer the home
// folder, which would spill files into it).
std::string userDirectory(const std::string& name, const std::string& homeFolder, const std::string& fallback);

// The user's Documents folder.
std::string documentsFolder(const std::string& homeFolder);

// One value of a user-dirs.dirs text, as the shell that sources it reads it: the last line
// XDG_<name>_DIR="..." with "$HOME" (or "${HOME}") replaced; empty when the text has none.
std::string userDirsValue(const std::string& text, const std::string& name, const std::string& homeFolder);

} // namespace quarrow
