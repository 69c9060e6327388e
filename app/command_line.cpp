#include "app/command_line.h"

#include <cstdio>

#include "app/platform.h"

namespace {

std::string helpText() {
  return std::string(
             "Usage: tidefill [--help | --version]\n"
             "Plays a one-player colour-region puzzle: random boards of coloured tiles,\n"
             "solved one greedy turn at a time while a window shows the board.\n"
             "It takes no other options: it asks its four settings at the terminal, then\n"
             "opens the board window. Press F1 (in the window or at the terminal) for the\n"
             "menu: a new board, one turn, tile and region queries, and series of boards.\n") +
         endingHelp();
}

}  // namespace

std::optional<CommandLineAnswer> answerCommandLine(const std::vector<std::string_view>& arguments) {
  if (arguments.empty()) return std::nullopt;
  if (arguments.size() == 1 && arguments[0] == "--help")
    return CommandLineAnswer{helpText(), "", 0};
  if (arguments.size() == 1 && arguments[0] == "--version")
    return CommandLineAnswer{"tidefill " TIDEFILL_VERSION "\n", "", 0};
  // The first argument that is not answered alone: "--help --version" refuses the second.
  const std::string_view refused =
      arguments[0] == "--help" || arguments[0] == "--version" ? arguments[1] : arguments[0];
  return CommandLineAnswer{"",
                           "tidefill: unexpected argument '" + std::string(refused) +
                               "'; it takes a lone --help or --version, or nothing\n",
                           kStatusBadUsage};
}

int printCommandLineAnswer(const CommandLineAnswer& answer) {
  std::fputs(answer.standardError.c_str(), stderr);
  std::fputs(answer.standardOutput.c_str(), stdout);
  // A help cut short (a closed pipe, a full disk) must not look like success.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return 1;
  return answer.status;
}
