// What lets parts of a study become the whole: statistics that add up exactly, and a CSV that
// reads back as it was written.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "study/csv.h"
#include "study/report.h"
#include "study/runner.h"
#include "study/study_json.h"

namespace {

StudyPlan seededPlan(const std::vector<std::string>& solvers, uint64_t first, uint64_t count) {
  StudyPlan plan;
  plan.supply = BoardSupply{nullptr, 7, 8, 4};
  plan.firstBoard = first;
  plan.boardCount = count;
  plan.solvers = std::get<std::vector<SolverChoice>>(parseSolvers(solvers));
  plan.threads = 2;
  plan.boundWanted = true;
  return plan;
}

StudySummary summaryOf(const StudyPlan& plan, std::string* csv = nullptr) {
  StudySummary summary;
  for (const SolverChoice& solver : plan.solvers) summary.solverLabels.push_back(solver.label);
  summary.exactSolver = static_cast<int>(plan.solvers.size()) - 1;
  summary.stats.resize(plan.solvers.size());
  runStudy(
      plan,
      [&](const BoardOutcome& outcome) {
        EXPECT_EQ(recordBoard(summary, outcome), "");
        if (csv != nullptr) *csv += csvRows(outcome, plan.solvers, true);
      },
      [](uint64_t) {});
  return summary;
}

void expectSameStats(const TurnStats& a, const TurnStats& b) {
  EXPECT_EQ(a.histogram, b.histogram);
  EXPECT_EQ(a.boards, b.boards);
  EXPECT_EQ(a.turnSum, b.turnSum);
  EXPECT_EQ(a.squareSum, b.squareSum);
  EXPECT_EQ(a.proven, b.proven);
  EXPECT_EQ(a.compared, b.compared);
  EXPECT_EQ(a.excessSum, b.excessSum);
  EXPECT_EQ(a.optimal, b.optimal);
  EXPECT_EQ(a.largestExcess, b.largestExcess);
}

TEST(StudyParts, StatisticsOfDisjointPartsMergeIntoTheWhole) {
  const std::vector<std::string> solvers{"greedy", "distance", "exact"};
  const StudySummary whole = summaryOf(seededPlan(solvers, 0, 300));
  const StudySummary first = summaryOf(seededPlan(solvers, 0, 120));
  const StudySummary second = summaryOf(seededPlan(solvers, 120, 180));
  for (size_t s = 0; s < solvers.size(); ++s) {
    TurnStats merged = second.stats[s];  // the order of the parts does not matter
    mergeStats(merged, first.stats[s]);
    expectSameStats(merged, whole.stats[s]);
  }
  // And the summary a person reads is the same, timings aside.
  StudySummary merged = first;
  StudySummary one = whole;
  for (size_t s = 0; s < solvers.size(); ++s) {
    mergeStats(merged.stats[s], second.stats[s]);
    merged.stats[s].microsSum = one.stats[s].microsSum = 0;
  }
  const std::string a = formatSummary(merged);
  const std::string b = formatSummary(one);
  EXPECT_EQ(a, b);
}

TEST(StudyParts, CsvReadsBackAsWritten) {
  const StudyPlan plan = seededPlan({"greedy", "beam:3", "exact"}, 40, 25);
  std::string csv = csvHeader(true);
  summaryOf(plan, &csv);
  std::istringstream input(csv);
  auto read = readCsv(input);
  ASSERT_TRUE(std::holds_alternative<CsvTable>(read)) << std::get<CsvError>(read).message;
  const CsvTable& table = std::get<CsvTable>(read);
  EXPECT_TRUE(table.withMoves);
  ASSERT_EQ(table.rows.size(), 75u);
  EXPECT_EQ(table.rows[0].board, 40u);
  EXPECT_EQ(table.rows[1].solver, "beam:3");
  EXPECT_EQ(table.rows[74].board, 64u);
  for (const CsvRow& row : table.rows) {
    EXPECT_EQ(row.moves.size(), row.turns);
    EXPECT_EQ(row.side, 8u);
    EXPECT_EQ(row.colors, 4u);
    EXPECT_LE(row.bound, row.turns);
    if (row.solver == "exact") {
      EXPECT_TRUE(row.proven);
    }
  }
}

TEST(StudyParts, CsvFaultsNameTheirLine) {
  const auto fault = [](const std::string& text) {
    std::istringstream input(text);
    auto read = readCsv(input);
    if (std::holds_alternative<CsvTable>(read)) return std::string("read");
    const CsvError& error = std::get<CsvError>(read);
    return std::to_string(error.line) + ": " + error.message;
  };
  const std::string header = "board,solver,turns,proven,bound,side,colors,micros,limited\n";
  EXPECT_EQ(fault(header + "3,greedy,20,0,15,14,6,12,0\r\n"), "read");  // CRLF too
  EXPECT_EQ(fault(""), "0: is empty");
  EXPECT_EQ(fault("board,turns\n"),
            "1: is not a study's CSV: its header is not "
            "board,solver,turns,proven,bound,side,colors,micros,limited");
  EXPECT_EQ(fault(header + "3,greedy,20,0,15,14,6\n"), "2: expected 9 fields, found 7");
  EXPECT_EQ(fault(header + "\nx,greedy,20,0,15,14,6,1,0\n"), "3: the board is not a number");
  EXPECT_EQ(fault(header + "3,,20,0,15,14,6,1,0\n"), "2: the solver is empty");
  EXPECT_EQ(fault(header + "3,greedy,20,2,15,14,6,1,0\n"), "2: proven is not 0 or 1");
  EXPECT_EQ(fault(header + "3,greedy,-1,0,15,14,6,1,0\n"), "2: turns is not a number");
  EXPECT_EQ(fault(header + "3,greedy,20,0,15,14,6,1,x\n"), "2: limited is not 0 or 1");
  EXPECT_EQ(fault("board,solver,turns,proven,bound,side,colors,micros,limited,moves\n"
                  "3,greedy,2,0,1,14,6,1,0,1 x\n"),
            "2: moves are not colour indices");
}

}  // namespace

namespace {

TEST(StudyParts, JsonKeepsEveryFigureExactly) {
  StudySummary summary = summaryOf(seededPlan({"greedy", "beam:2", "exact"}, 10, 60));
  summary.seed = 7;
  summary.firstBoard = 10;
  summary.boardsAsked = 80;
  summary.interrupted = true;
  summary.timeLimitSeconds = 2.5;
  summary.wallSeconds = 1.25;
  auto read = studyFromJson(studyToJson(summary));
  ASSERT_TRUE(std::holds_alternative<StudySummary>(read)) << std::get<std::string>(read);
  const StudySummary& back = std::get<StudySummary>(read);
  EXPECT_EQ(back.solverLabels, summary.solverLabels);
  EXPECT_EQ(back.exactSolver, 2);
  for (size_t s = 0; s < 3; ++s) expectSameStats(back.stats[s], summary.stats[s]);
  EXPECT_EQ(back.stats[1].microsSum, summary.stats[1].microsSum);
  EXPECT_EQ(back.firstBoard, 10u);
  EXPECT_EQ(back.boardsAsked, 80u);
  EXPECT_TRUE(back.interrupted);
  EXPECT_EQ(back.timeLimitSeconds, 2.5);
  EXPECT_EQ(formatSummary(back), formatSummary(summary));

  // Anything else is refused with a reason, never half read.
  const auto refusal = [](const std::string& text) {
    auto result = studyFromJson(text);
    return std::holds_alternative<std::string>(result) ? std::get<std::string>(result) : "read";
  };
  std::string json = studyToJson(summary);
  EXPECT_NE(refusal(json.substr(0, json.size() / 2)).find("is not a study's JSON"),
            std::string::npos);
  EXPECT_EQ(refusal("{\"program\": \"other\", \"format\": 1}"),
            "is not a result of this version of tidefill-study");
  const size_t version = json.find(TIDEFILL_VERSION);
  json.replace(version, std::string(TIDEFILL_VERSION).size(), "0.0.1");
  EXPECT_EQ(refusal(json), "was written by tidefill-study 0.0.1, not " TIDEFILL_VERSION);
}

}  // namespace
