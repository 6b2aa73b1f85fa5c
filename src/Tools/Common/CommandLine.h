// The command-line conventions of the companion programs, on CLI11:
// --help (usage, every option with its default, an example) and --version
// print on standard output and end with status 0; a mistake in the command
// line ends with a message on standard error and status 2.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quill::tools {

// Gives `app` the --version flag and an example after the options, and shows
// every option's default in the help.
void PrepareApp(CLI::App& app, const char* program, const std::string& example);
// The same for a subcommand (help and an example of its own).
void PrepareSubcommand(CLI::App& sub, const std::string& example);

// Parses the command line. Returns true when the program should go on;
// false after printing the help or the version (exit status 0). A mistake
// throws UsageError.
bool ParseCommandLine(CLI::App& app, int argc, char** argv);

}  // namespace quill::tools
