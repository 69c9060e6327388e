#include "study/merge.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "study/csv.h"
#include "study/options.h"
#include "study/outputs.h"
#include "study/plot.h"
#include "study/study_json.h"

namespace {

struct MergeOptions {
  std::vector<std::string> parts;
  std::string jsonPath;
  std::string plotPath;
  std::vector<std::string> csvParts;
  std::string csvPath;
  bool allowGaps = false;
};

struct Part {
  std::string path;
  StudySummary summary;
  uint64_t first() const { return summary.firstBoard; }
  uint64_t end() const { return summary.firstBoard + boardsDone(summary); }
};

std::string range(uint64_t first, uint64_t end) {
  return "boards " + std::to_string(first) + " to " + std::to_string(end - 1);
}

// Why two parts are not of one study, or "".
std::string differenceBetween(const StudySummary& a, const StudySummary& b) {
  if (a.boardFile != b.boardFile) return "their board files differ";
  if (a.boardFile.empty() && a.seed != b.seed)
    return "their seeds differ (" + std::to_string(a.seed) + " and " + std::to_string(b.seed) + ")";
  if (a.draw != b.draw) return "their colour draws differ";
  if (a.minSide != b.minSide || a.maxSide != b.maxSide) return "their board sizes differ";
  if (a.minColors != b.minColors || a.maxColors != b.maxColors) return "their colours differ";
  if (a.solverLabels != b.solverLabels) return "their solvers differ";
  if (a.timeLimitSeconds != b.timeLimitSeconds ||
      a.memoryLimitMegabytes != b.memoryLimitMegabytes || a.expansionLimit != b.expansionLimit)
    return "their limits differ";
  return "";
}

// Reads and checks the parts, in board order; "" or why they do not make one study.
std::string readParts(const MergeOptions& options, std::vector<Part>& parts) {
  for (const std::string& path : options.parts) {
    std::ifstream file(path);
    if (!file) return "cannot read " + path + ": " + std::strerror(errno);
    std::ostringstream text;
    text << file.rdbuf();
    auto read = studyFromJson(text.str());
    if (const auto* refusal = std::get_if<std::string>(&read)) return path + ": " + *refusal;
    parts.push_back({path, std::get<StudySummary>(std::move(read))});
    if (!parts.back().summary.failure.empty())
      return path + ": the part ended in a failed check, so its figures are not a study's";
  }
  for (const Part& part : parts)
    if (const std::string why = differenceBetween(parts.front().summary, part.summary);
        !why.empty())
      return parts.front().path + " and " + part.path + " are parts of different studies: " + why;
  std::stable_sort(parts.begin(), parts.end(),
                   [](const Part& a, const Part& b) { return a.first() < b.first(); });
  for (size_t i = 1; i < parts.size(); ++i) {
    const Part& before = parts[i - 1];
    const Part& after = parts[i];
    if (after.first() < before.end())
      return before.path + " (" + range(before.first(), before.end()) + ") and " + after.path +
             " (" + range(after.first(), after.end()) + ") overlap";
    if (after.first() > before.end() && !options.allowGaps)
      return range(before.end(), after.first()) + " are in no part (" + before.path +
             " ends before them, " + after.path + " starts after them); --allow-gaps merges " +
             "the parts all the same";
  }
  return "";
}

StudySummary mergedSummary(const std::vector<Part>& parts) {
  StudySummary merged = parts.front().summary;
  merged.partsMerged = std::max<uint32_t>(merged.partsMerged, 1);
  for (size_t i = 1; i < parts.size(); ++i) {
    const StudySummary& part = parts[i].summary;
    for (size_t s = 0; s < merged.stats.size(); ++s) mergeStats(merged.stats[s], part.stats[s]);
    merged.wallSeconds += part.wallSeconds;
    merged.partsMerged += std::max<uint32_t>(part.partsMerged, 1);
    merged.missingBoards += part.missingBoards + (part.firstBoard - parts[i - 1].end());
  }
  merged.boardsAsked = parts.back().end() - merged.firstBoard;
  merged.interrupted = merged.writeFailed = false;
  return merged;
}

// The rows of the parts' CSV files in board order, under one header; "" or why not.
std::string joinCsv(const MergeOptions& options, std::string& joined) {
  std::vector<CsvRow> rows;
  bool withMoves = false;
  for (size_t i = 0; i < options.csvParts.size(); ++i) {
    std::ifstream file(options.csvParts[i]);
    if (!file) return "cannot read " + options.csvParts[i] + ": " + std::strerror(errno);
    auto read = readCsv(file);
    if (const auto* error = std::get_if<CsvError>(&read))
      return options.csvParts[i] + (error->line > 0 ? ":" + std::to_string(error->line) : "") +
             ": " + error->message;
    CsvTable& table = std::get<CsvTable>(read);
    if (i > 0 && table.withMoves != withMoves)
      return options.csvParts[i] + ": only some of the CSV parts have the moves column";
    withMoves = table.withMoves;
    rows.insert(rows.end(), table.rows.begin(), table.rows.end());
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const CsvRow& a, const CsvRow& b) { return a.board < b.board; });
  for (size_t i = 1; i < rows.size(); ++i)
    if (rows[i].board == rows[i - 1].board && rows[i].solver == rows[i - 1].solver)
      return "board " + std::to_string(rows[i].board) + " is in more than one CSV part";
  joined = csvHeader(withMoves);
  for (const CsvRow& row : rows) joined += csvLine(row, withMoves);
  return "";
}

// Writes `text` to `path` ("-" is standard output); 0 or the write-failure status.
int writeFile(const std::string& path, const std::string& text) {
  std::FILE* file = path == "-" ? stdout : std::fopen(path.c_str(), "w");
  std::string failure = file == nullptr ? std::strerror(errno) : "";
  if (file != nullptr && writeWhole(file, text, failure)) return 0;
  return studyError(kStatusWriteFailed, "cannot write " + path + ": " + failure);
}

}  // namespace

int runMerge(int argc, const char* const* argv) {
  MergeOptions options;
  CLI::App app(
      "Puts the parts of one study together (their --json results, and their CSV files) "
      "and reports them as one run over their union would.",
      "tidefill-study merge");
  app.add_option("parts", options.parts, "The parts' --json results")
      ->required()
      ->type_name("PART.json...");
  app.add_option("--json", options.jsonPath,
                 "Write the merged result to FILE (- for standard "
                 "output), which can itself be merged again")
      ->type_name("FILE");
  app.add_option("--plot", options.plotPath, "Draw the union's turns per board, as --plot does")
      ->type_name("FILE.svg");
  app.add_option("--csv-parts", options.csvParts, "The parts' CSV files, to join with --csv")
      ->type_name("PART.csv...");
  app.add_option("--csv", options.csvPath, "Write the joined CSV to FILE, in board order")
      ->type_name("FILE");
  app.add_flag("--allow-gaps", options.allowGaps,
               "Merge parts that leave boards of their range out");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }
  if (options.csvParts.empty() != options.csvPath.empty())
    return studyError(kStatusBadUsage, "--csv-parts and --csv go together");
  std::vector<Part> parts;
  if (const std::string refusal = readParts(options, parts); !refusal.empty())
    return studyError(kStatusBadUsage, refusal);
  std::string joined;
  if (!options.csvParts.empty())
    if (const std::string refusal = joinCsv(options, joined); !refusal.empty())
      return studyError(kStatusBadUsage, refusal);

  const StudySummary merged = mergedSummary(parts);
  int status = 0;
  if (!options.csvPath.empty()) status = std::max(status, writeFile(options.csvPath, joined));
  if (!options.jsonPath.empty())
    status = std::max(status, writeFile(options.jsonPath, studyToJson(merged)));
  if (!options.plotPath.empty())
    status = std::max(status,
                      writeFile(options.plotPath, turnPlot(plotTitle(merged), plotSubtitle(merged),
                                                           merged.solverLabels, merged.stats)));
  const bool toError = options.jsonPath == "-" || options.csvPath == "-";
  std::fputs(formatSummary(merged).c_str(), toError ? stderr : stdout);
  return status;
}
