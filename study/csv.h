// The study's CSV: one row per board and solver. The writer makes the rows as boards are
// delivered; the reader takes a file of that format back, so that parts of a study can be joined.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "study/runner.h"

std::string csvHeader(bool withMoves);
// The rows of one board, one per solver in the order asked.
std::string csvRows(const BoardOutcome& outcome, const std::vector<SolverChoice>& solvers,
                    bool withMoves);

struct CsvRow {
  uint64_t board = 0;
  std::string solver;
  uint32_t turns = 0;
  bool proven = false;
  uint32_t bound = 0;
  uint32_t side = 0;
  uint32_t colors = 0;
  double micros = 0;
  bool limited = false;        // a limit ended the solver's search
  std::vector<uint8_t> moves;  // empty unless the file has the moves column
};

// One row as csvRows writes it.
std::string csvLine(const CsvRow& row, bool withMoves);

struct CsvTable {
  bool withMoves = false;
  std::vector<CsvRow> rows;  // in file order
};

struct CsvError {
  uint64_t line = 0;  // 0 when the fault belongs to no single line
  std::string message;
};

std::variant<CsvTable, CsvError> readCsv(std::istream& input);
