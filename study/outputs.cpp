#include "study/outputs.h"

#include <cerrno>
#include <cstring>

#include "study/csv.h"
#include "study/plot.h"

int openOutputs(const StudyOptions& options, const std::string& origin, StudyOutputs& outputs) {
  outputs.csvPath = options.csvPath;
  outputs.withMoves = options.moves;
  outputs.boardsPath = options.writeBoardsPath;
  outputs.plotPath = options.plotPath;
  if (outputs.csvPath == "-") {
    outputs.csv = stdout;
  } else if (!outputs.csvPath.empty()) {
    outputs.csv = std::fopen(outputs.csvPath.c_str(), "w");
    if (outputs.csv == nullptr)
      return studyError(kStatusWriteFailed,
                        "cannot write " + outputs.csvPath + ": " + std::strerror(errno));
  }
  if (!outputs.boardsPath.empty()) {
    outputs.boards.open(outputs.boardsPath);
    if (!outputs.boards)
      return studyError(kStatusWriteFailed,
                        "cannot write " + outputs.boardsPath + ": " + std::strerror(errno));
    outputs.boards << "# tidefill-study boards; " << origin << "\n";
  }
  if (outputs.csv != nullptr) std::fputs(csvHeader(outputs.withMoves).c_str(), outputs.csv);
  return 0;
}

void writeBoardOutputs(StudyOutputs& outputs, const BoardOutcome& outcome,
                       const std::vector<SolverChoice>& solvers) {
  if (outputs.csv != nullptr) {
    const std::string rows = csvRows(outcome, solvers, outputs.withMoves);
    std::fwrite(rows.data(), 1, rows.size(), outputs.csv);
  }
  if (outputs.boards.is_open()) writeBoard(outputs.boards, outcome.board, outcome.index);
}

int finishOutputs(StudyOutputs& outputs, const StudySummary& summary, int status) {
  if (!outputs.plotPath.empty()) {
    std::ofstream plot(outputs.plotPath);
    plot << turnPlot(plotTitle(summary), summary.solverLabels, summary.stats);
    plot.close();
    if (!plot) status = studyError(kStatusWriteFailed, "cannot write " + outputs.plotPath);
  }
  const bool csvToOutput = outputs.csv == stdout;
  std::fputs(formatSummary(summary).c_str(), csvToOutput ? stderr : stdout);
  std::fflush(stdout);
  if (outputs.csv != nullptr && !csvToOutput && std::fclose(outputs.csv) != 0)
    status = studyError(kStatusWriteFailed,
                        "cannot write " + outputs.csvPath + ": " + std::strerror(errno));
  else if (csvToOutput && std::ferror(stdout))
    status = studyError(kStatusWriteFailed, "cannot write the CSV to standard output");
  outputs.csv = nullptr;
  if (outputs.boards.is_open()) {
    outputs.boards.close();
    if (!outputs.boards)
      status = studyError(kStatusWriteFailed, "cannot write " + outputs.boardsPath);
  }
  return status;
}
