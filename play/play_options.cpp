#include "play/play_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>

#include "study/boards.h"
#include "study/escape.h"

namespace {

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nRun '%s --help' for the options.\n", kPlayProgram,
               escapedForTerminal(message).c_str(), kPlayProgram);
  return 2;
}

struct RawOptions {
  std::string seedText;
  std::string drawName;
  std::string watchName;
  uint32_t cell = 0;
};

void addOptions(CLI::App& app, PlayOptions& options, RawOptions& raw) {
  const auto range = [](auto low, auto high) { return CLI::Range(low, high).description(""); };
  app.add_option("--size", options.side, "Board side in tiles, 3 to 64 (default 14)")
      ->check(range(kPlayMinSide, kPlayMaxSide))
      ->type_name("N");
  app.add_option("--colors", options.colorCount, "Number of colours, 2 to 32 (default 6)")
      ->check(range(minColors, maxColors))
      ->type_name("C");
  app.add_option("--seed", raw.seedText,
                 "Unsigned 64-bit seed: the boards tidefill-study --seed S studies (default: "
                 "from the clock, printed)")
      ->type_name("S");
  app.add_option("--draw", raw.drawName,
                 "How seeded boards take their colours: program (the default, as the interactive "
                 "program draws them) or uniform, as tidefill-study --draw takes it")
      ->type_name("DRAW");
  app.add_option("--board", options.firstBoard,
                 "Start at board K of the seed, or of the file (default 0)")
      ->type_name("K");
  app.add_option("--from", options.fromPath,
                 "Play the boards of a board file in order (- for standard input)")
      ->type_name("FILE");
  app.add_option("--cell", raw.cell,
                 "Tile size in pixels, 8 to 128 (default: the largest that keeps the window on "
                 "the screen, at most 48)")
      ->check(range(kMinCell, kMaxCell))
      ->type_name("PX");
  app.add_option("--watch", raw.watchName,
                 "Watch a solver play instead: greedy, area, distance, beam:W or exact")
      ->type_name("SOLVER");
  app.add_option("--pause", options.pauseMs,
                 "Milliseconds between the watched solver's moves, 1 to 10000 (default 500)")
      ->check(range(uint32_t{1}, uint32_t{10000}))
      ->type_name("MS");
  app.add_option("--time-limit", options.timeLimitSeconds,
                 "Seconds the search for the optimum may spend on one position (default 10)")
      ->check(range(0.001, 1e6))
      ->type_name("SECONDS");
  app.set_version_flag("--version", std::string(kPlayProgram) + " " + TIDEFILL_VERSION,
                       "Print the version and exit");
}

// The checks across options; "" or the message.
std::string completeOptions(const CLI::App& app, const RawOptions& raw, PlayOptions& options) {
  if (app.count("--from") > 0) {
    if (options.fromPath.empty()) return "--from: the file name is empty";
    for (const char* generated : {"--size", "--colors", "--seed", "--draw"})
      if (app.count(generated) > 0)
        return std::string(generated) +
               " describes generated boards; --from takes them from its file";
  }
  if (!(options.timeLimitSeconds >= 0.001 && options.timeLimitSeconds <= 1e6))
    return "--time-limit: not a number of seconds from 0.001 to 10^6";
  if (app.count("--seed") > 0) {
    options.seed = seedFromText(raw.seedText);
    if (!options.seed) return "--seed: " + raw.seedText + " is not an unsigned 64-bit number";
  }
  if (app.count("--draw") > 0) {
    const auto draw = colorDrawNamed(raw.drawName);
    if (!draw) return "--draw: " + raw.drawName + " is not program or uniform";
    options.draw = *draw;
  }
  if (app.count("--cell") > 0) options.cell = raw.cell;
  if (app.count("--watch") > 0) {
    auto solvers = parseSolvers({raw.watchName});
    if (auto* message = std::get_if<std::string>(&solvers)) return "--watch: " + *message;
    options.watch = std::get<std::vector<SolverChoice>>(solvers).front();
  }
  return "";
}

}  // namespace

std::variant<PlayOptions, int> parsePlayOptions(int argc, const char* const* argv) {
  PlayOptions options;
  RawOptions raw;
  CLI::App app(
      "Play the colour-region puzzle in a window, with the proven fewest moves from the "
      "position in hand beside you. Keys: 1..9 and 0 play colours 0..9 (or click a tile or a "
      "swatch), h a hint, u or Backspace takes back, r restarts, n the next board, q or Escape "
      "quits.",
      kPlayProgram);
  app.get_formatter()->column_width(28);
  addOptions(app, options, raw);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& answered) {  // --help or --version
    return app.exit(answered);
  } catch (const CLI::ParseError& error) {
    return usageError(error.what());
  }
  if (const std::string refusal = completeOptions(app, raw, options); !refusal.empty())
    return usageError(refusal);
  return options;
}

int playError(int status, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kPlayProgram, escapedForTerminal(message).c_str());
  return status;
}
