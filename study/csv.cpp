#include "study/csv.h"

#include <charconv>
#include <cstdio>
#include <istream>
#include <string_view>

std::string csvHeader(bool withMoves) {
  return std::string("board,solver,turns,proven,bound,side,colors,micros,limited") +
         (withMoves ? ",moves\n" : "\n");
}

std::string csvRows(const BoardOutcome& outcome, const std::vector<SolverChoice>& solvers,
                    bool withMoves) {
  std::string rows;
  CsvRow row;
  row.board = outcome.index;
  row.side = outcome.board.side;
  row.colors = outcome.board.colorCount;
  for (size_t s = 0; s < solvers.size(); ++s) {
    const SolverOutcome& answer = outcome.outcomes[s];
    row.solver = solvers[s].label;
    row.turns = answer.turns;
    row.proven = answer.proven;
    row.bound = answer.bound;
    row.micros = outcome.micros[s];
    row.limited = answer.limited;
    if (withMoves) row.moves = answer.moves;
    rows += csvLine(row, withMoves);
  }
  return rows;
}

std::string csvLine(const CsvRow& row, bool withMoves) {
  char fields[192];
  std::snprintf(fields, sizeof fields, "%llu,%s,%u,%d,%u,%u,%u,%.0f,%d",
                static_cast<unsigned long long>(row.board), row.solver.c_str(), row.turns,
                row.proven ? 1 : 0, row.bound, row.side, row.colors, row.micros,
                row.limited ? 1 : 0);
  std::string line = fields;
  if (withMoves) {
    line += ',';
    for (size_t m = 0; m < row.moves.size(); ++m) {
      if (m > 0) line += ' ';
      line += std::to_string(row.moves[m]);
    }
  }
  return line + "\n";
}

namespace {

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

template <class Number>
bool parseField(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

bool parseMoves(std::string_view text, std::vector<uint8_t>& moves) {
  while (!text.empty()) {
    const size_t blank = text.find(' ');
    unsigned move = 0;
    if (!parseField(text.substr(0, blank), move) || move > 255) return false;
    moves.push_back(static_cast<uint8_t>(move));
    if (blank == std::string_view::npos) break;
    text.remove_prefix(blank + 1);
  }
  return true;
}

// Why the fields do not make a row, or "" when `row` holds them.
std::string parseRow(const std::vector<std::string_view>& fields, bool withMoves, CsvRow& row) {
  const size_t expected = withMoves ? 10 : 9;
  if (fields.size() != expected)
    return "expected " + std::to_string(expected) + " fields, found " +
           std::to_string(fields.size());
  unsigned proven = 0;
  unsigned limited = 0;
  if (!parseField(fields[0], row.board)) return "the board is not a number";
  row.solver = std::string(fields[1]);
  if (row.solver.empty()) return "the solver is empty";
  if (!parseField(fields[2], row.turns)) return "turns is not a number";
  if (!parseField(fields[3], proven) || proven > 1) return "proven is not 0 or 1";
  row.proven = proven == 1;
  if (!parseField(fields[4], row.bound)) return "bound is not a number";
  if (!parseField(fields[5], row.side)) return "side is not a number";
  if (!parseField(fields[6], row.colors)) return "colors is not a number";
  if (!parseField(fields[7], row.micros)) return "micros is not a number";
  if (!parseField(fields[8], limited) || limited > 1) return "limited is not 0 or 1";
  row.limited = limited == 1;
  if (withMoves && !parseMoves(fields[9], row.moves)) return "moves are not colour indices";
  return "";
}

}  // namespace

std::variant<CsvTable, CsvError> readCsv(std::istream& input) {
  CsvTable table;
  std::string line;
  uint64_t lineNumber = 0;
  while (std::getline(input, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lineNumber == 1) {
      if (line + "\n" == csvHeader(true))
        table.withMoves = true;
      else if (line + "\n" != csvHeader(false))
        return CsvError{1, "is not a study's CSV: its header is not " +
                               csvHeader(false).substr(0, csvHeader(false).size() - 1)};
      continue;
    }
    if (line.empty()) continue;
    CsvRow& row = table.rows.emplace_back();
    const std::string fault = parseRow(fieldsOf(line), table.withMoves, row);
    if (!fault.empty()) return CsvError{lineNumber, fault};
  }
  if (input.bad()) return CsvError{0, "cannot be read"};
  if (lineNumber == 0) return CsvError{0, "is empty"};
  return table;
}
