// The interactive program's command line. It takes no settings there (it asks them at the
// terminal): with no argument it runs, --help and --version are answered without a window or a
// question, and anything else is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The status of a refused command line, as for tidefill-study.
inline constexpr int kStatusBadUsage = 2;

struct CommandLineAnswer {
  std::string standardOutput;  // the help or the version
  std::string standardError;   // the one line that refuses an argument
  int status = 0;
};

// What the arguments (the program's name left out) ask for; nothing when there are none and the
// program runs as usual.
std::optional<CommandLineAnswer> answerCommandLine(const std::vector<std::string_view>& arguments);

// Writes the answer to standard output and standard error; returns its status, or 1 when the
// help or the version could not be written.
int printCommandLineAnswer(const CommandLineAnswer& answer);
