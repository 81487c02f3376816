#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quarrow::cli {

// What a word on the command line names, so that the shell can complete it.
enum class ArgumentKind { None, Folder, Category, Edition, File };

struct OptionHelp {
    std::string_view flag;     // "--root"
    std::string_view argument; // "DIR", or empty for a switch
    ArgumentKind kind = ArgumentKind::None;
    std::string_view text;
};

// One command of quarrow-cli. This table is the one place that lists the commands and their
// options: `quarrow-cli help COMMAND`, the usage text, the man pages and the bash completion are all
// made from it.
struct CommandHelp {
    std::string_view name;
    std::string_view synopsis; // the arguments after the command's name
    std::string_view summary;  // one line
    std::string_view operand;  // "BACKUP_FOLDER", or empty
    ArgumentKind operandKind = ArgumentKind::None;
    std::string_view description; // paragraphs separated by blank lines
    std::vector<OptionHelp> options;
    std::string_view exitStatus;
    std::string_view example;
};

const std::vector<CommandHelp>& commandHelp();
// The command of that name, or nullptr.
const CommandHelp* findCommandHelp(std::string_view name);

// The short usage of every command, as `quarrow-cli --help` prints it.
std::string overviewText();
// The full help of one command, as `quarrow-cli help COMMAND` prints it.
std::string commandText(const CommandHelp& command);

// The manual page (roff, man macros) of quarrow-cli, of one of its commands, or of the desktop
// application; `version` goes into the page footer.
std::string cliManPage(std::string_view version);
std::string commandManPage(const CommandHelp& command, std::string_view version);
std::string applicationManPage(std::string_view version);

// A bash completion script for quarrow-cli.
std::string bashCompletion();

} // namespace quarrow::cli
