#include "study/study_json.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

constexpr int kFormat = 1;  // raised when a field changes meaning

json statsToJson(const TurnStats& stats) {
  json histogram = json::object();
  for (const auto& [turns, boards] : stats.histogram) histogram[std::to_string(turns)] = boards;
  // Counts are small integers, so their squares add up exactly in 64 bits.
  return {{"boards", stats.boards},        {"histogram", histogram},
          {"turn_sum", stats.turnSum},     {"square_sum", static_cast<uint64_t>(stats.squareSum)},
          {"micros_sum", stats.microsSum}, {"proven", stats.proven},
          {"compared", stats.compared},    {"excess_sum", stats.excessSum},
          {"optimal", stats.optimal},      {"largest_excess", stats.largestExcess}};
}

TurnStats statsFromJson(const json& document) {
  TurnStats stats;
  for (const auto& [turns, boards] : document.at("histogram").items())
    stats.histogram[static_cast<uint32_t>(std::stoul(turns))] = boards.get<uint64_t>();
  stats.boards = document.at("boards").get<uint64_t>();
  stats.turnSum = document.at("turn_sum").get<uint64_t>();
  stats.squareSum = static_cast<long double>(document.at("square_sum").get<uint64_t>());
  stats.microsSum = document.at("micros_sum").get<double>();
  stats.proven = document.at("proven").get<uint64_t>();
  stats.compared = document.at("compared").get<uint64_t>();
  stats.excessSum = document.at("excess_sum").get<uint64_t>();
  stats.optimal = document.at("optimal").get<uint64_t>();
  stats.largestExcess = document.at("largest_excess").get<uint32_t>();
  return stats;
}

json limitsToJson(const StudySummary& summary) {
  // No time limit (an expansion limit alone) is written as null: JSON has no infinity.
  const bool timed = std::isfinite(summary.timeLimitSeconds);
  return {{"time_seconds", timed ? json(summary.timeLimitSeconds) : json(nullptr)},
          {"memory_megabytes", summary.memoryLimitMegabytes},
          {"expansions", summary.expansionLimit}};
}

}  // namespace

std::string studyToJson(const StudySummary& summary) {
  json solvers = json::array();
  for (size_t s = 0; s < summary.stats.size(); ++s)
    solvers.push_back({{"label", summary.solverLabels[s]},
                       {"proves_optimum", static_cast<int>(s) == summary.exactSolver},
                       {"turns", statsToJson(summary.stats[s])}});
  json boards = {{"first", summary.firstBoard},
                 {"count", boardsDone(summary)},
                 {"asked", summary.boardsAsked},
                 {"missing", summary.missingBoards},
                 {"side", {summary.minSide, summary.maxSide}},
                 {"colors", {summary.minColors, summary.maxColors}}};
  if (summary.boardFile.empty()) {
    boards["seed"] = summary.seed;
    boards["draw"] = colorDrawName(summary.draw);
  } else
    boards["file"] = summary.boardFile;
  const json document = {{"program", "tidefill-study"},
                         {"version", TIDEFILL_VERSION},
                         {"format", kFormat},
                         {"boards", boards},
                         {"limits", limitsToJson(summary)},
                         {"ended",
                          {{"interrupted", summary.interrupted},
                           {"write_failed", summary.writeFailed},
                           {"check_failed", summary.failure}}},
                         {"solvers", solvers},
                         {"timing",
                          {{"wall_seconds", summary.wallSeconds},
                           {"threads", summary.threads},
                           {"parts", summary.partsMerged}}}};
  return document.dump(2) + "\n";
}

std::variant<StudySummary, std::string> studyFromJson(const std::string& text) {
  try {
    const json document = json::parse(text);
    if (document.at("program") != "tidefill-study" || document.at("format") != kFormat)
      return std::string("is not a result of this version of tidefill-study");
    if (document.at("version") != TIDEFILL_VERSION)
      return "was written by tidefill-study " + document.at("version").get<std::string>() +
             ", not " + TIDEFILL_VERSION;
    StudySummary summary;
    const json& boards = document.at("boards");
    summary.firstBoard = boards.at("first").get<uint64_t>();
    summary.boardsAsked = boards.at("asked").get<uint64_t>();
    summary.missingBoards = boards.at("missing").get<uint64_t>();
    summary.minSide = boards.at("side").at(0).get<uint32_t>();
    summary.maxSide = boards.at("side").at(1).get<uint32_t>();
    summary.minColors = boards.at("colors").at(0).get<uint32_t>();
    summary.maxColors = boards.at("colors").at(1).get<uint32_t>();
    if (boards.contains("seed")) {
      summary.seed = boards.at("seed").get<uint64_t>();
      const auto draw = colorDrawNamed(boards.at("draw").get<std::string>());
      if (!draw) return std::string("names a colour draw this version does not know");
      summary.draw = *draw;
    } else
      summary.boardFile = boards.at("file").get<std::string>();
    const json& limits = document.at("limits");
    summary.timeLimitSeconds = limits.at("time_seconds").is_null()
                                   ? std::numeric_limits<double>::infinity()
                                   : limits.at("time_seconds").get<double>();
    summary.memoryLimitMegabytes = limits.at("memory_megabytes").get<uint64_t>();
    summary.expansionLimit = limits.at("expansions").get<uint64_t>();
    const json& ended = document.at("ended");
    summary.interrupted = ended.at("interrupted").get<bool>();
    summary.writeFailed = ended.at("write_failed").get<bool>();
    summary.failure = ended.at("check_failed").get<std::string>();
    for (const json& solver : document.at("solvers")) {
      if (solver.at("proves_optimum").get<bool>())
        summary.exactSolver = static_cast<int>(summary.stats.size());
      summary.solverLabels.push_back(solver.at("label").get<std::string>());
      summary.stats.push_back(statsFromJson(solver.at("turns")));
    }
    const json& timing = document.at("timing");
    summary.wallSeconds = timing.at("wall_seconds").get<double>();
    summary.threads = timing.at("threads").get<uint32_t>();
    summary.partsMerged = timing.at("parts").get<uint32_t>();
    if (boardsDone(summary) != boards.at("count").get<uint64_t>())
      return std::string("does not add up: its solvers counted other boards than it says");
    return summary;
  } catch (const json::exception& error) {
    return std::string("is not a study's JSON: ") + error.what();
  } catch (const std::exception& error) {  // a histogram key that is no number
    return std::string("is not a study's JSON: ") + error.what();
  }
}
