#include "study/boards.h"

#include <charconv>
#include <chrono>
#include <istream>
#include <ostream>
#include <string_view>

#include "board/draw.h"
#include "solve/mix64.h"
#include "study/escape.h"

uint64_t splitMix64(uint64_t& state) {
  return mix64(state += splitMixGamma);
}

uint64_t seedFromClock() {
  uint64_t state =
      static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count() ^
                            std::chrono::steady_clock::now().time_since_epoch().count());
  return splitMix64(state);
}

std::optional<uint64_t> seedFromText(std::string_view text) {
  uint64_t seed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return seed;
}

void seededBoard(uint64_t seed, uint64_t index, uint32_t side, uint32_t colorCount, ColorDraw draw,
                 BoardColors& board) {
  // Output i of a SplitMix64 stream is the mix of seed + (i + 1) * gamma: no need to walk to it.
  uint64_t keyState = seed + index * splitMixGamma;
  uint64_t tileState = splitMix64(keyState);
  board.side = side;
  board.colorCount = colorCount;
  board.colors.resize(static_cast<size_t>(side) * side);
  for (uint8_t& color : board.colors) {
    const auto output = static_cast<uint32_t>(splitMix64(tileState) >> 32);
    color = static_cast<uint8_t>(colorFromOutput(output, colorCount, draw));
  }
}

namespace {

// The line without its comment, split into blank-separated words.
std::vector<std::string_view> wordsOf(std::string_view line) {
  const size_t hash = line.find('#');
  if (hash != std::string_view::npos) line = line.substr(0, hash);
  std::vector<std::string_view> words;
  size_t position = 0;
  while (position < line.size()) {
    while (position < line.size() &&
           (line[position] == ' ' || line[position] == '\t' || line[position] == '\r'))
      ++position;
    size_t end = position;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r') ++end;
    if (end > position) words.push_back(line.substr(position, end - position));
    position = end;
  }
  return words;
}

bool parseNumber(std::string_view word, uint64_t& value) {
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  return error == std::errc{} && end == word.data() + word.size();
}

std::string quoted(std::string_view word) {
  constexpr size_t kShown = 20;
  std::string text = escapedForTerminal(word.substr(0, kShown));
  text.insert(text.begin(), '\'');
  text.append(word.size() > kShown ? "...'" : "'");
  return text;
}

enum class LineRead { line, end, tooLong };

// One line without its end, at most kMaxLineBytes long, so that input without line ends cannot
// fill memory.
LineRead readLine(std::istream& input, std::vector<char>& buffer, std::string_view& line) {
  buffer.resize(kMaxLineBytes + 2);
  input.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  const auto count = static_cast<size_t>(input.gcount());
  if (input.bad()) return LineRead::end;
  if (input.fail()) {
    if (count == 0) return LineRead::end;
    return LineRead::tooLong;  // the buffer filled before the line ended
  }
  const size_t length = input.eof() ? count : count - 1;  // the last line may lack its end
  if (length > kMaxLineBytes) return LineRead::tooLong;
  line = std::string_view(buffer.data(), length);
  return LineRead::line;
}

}  // namespace

std::variant<std::vector<BoardColors>, BoardFileError> readBoards(std::istream& input) {
  std::vector<BoardColors> boards;
  std::vector<char> buffer;
  std::string_view line;
  uint64_t lineNumber = 0;
  uint64_t headerLine = 0;
  uint32_t rowsRead = 0;
  bool inBoard = false;
  const auto fail = [&](std::string message) {
    return BoardFileError{lineNumber, std::move(message)};
  };
  for (LineRead read; (read = readLine(input, buffer, line)) != LineRead::end;) {
    ++lineNumber;
    if (read == LineRead::tooLong)
      return fail("the line is longer than " + std::to_string(kMaxLineBytes) +
                  " bytes; no board file has such lines");
    const std::vector<std::string_view> words = wordsOf(line);
    if (words.empty()) continue;
    if (!inBoard) {
      uint64_t side = 0;
      uint64_t colorCount = 0;
      if (words.size() != 2 || !parseNumber(words[0], side) || !parseNumber(words[1], colorCount))
        return fail("expected a board header \"side colours\", found " + quoted(line));
      if (side < minSide || side > maxSide)
        return fail("side " + std::to_string(side) + " is not between " + std::to_string(minSide) +
                    " and " + std::to_string(maxSide));
      if (colorCount < minColors || colorCount > maxColors)
        return fail("colour count " + std::to_string(colorCount) + " is not between " +
                    std::to_string(minColors) + " and " + std::to_string(maxColors));
      BoardColors& board = boards.emplace_back();
      board.side = static_cast<uint32_t>(side);
      board.colorCount = static_cast<uint32_t>(colorCount);
      board.colors.reserve(static_cast<size_t>(side) * side);
      headerLine = lineNumber;
      rowsRead = 0;
      inBoard = true;
      continue;
    }
    BoardColors& board = boards.back();
    if (words.size() != board.side)
      return fail("row " + std::to_string(rowsRead + 1) + " has " + std::to_string(words.size()) +
                  " colours where the board's side is " + std::to_string(board.side));
    for (std::string_view word : words) {
      uint64_t color = 0;
      if (!parseNumber(word, color)) return fail(quoted(word) + " is not a colour index");
      if (color >= board.colorCount)
        return fail("colour " + std::to_string(color) + " is not below the board's " +
                    std::to_string(board.colorCount) + " colours");
      board.colors.push_back(static_cast<uint8_t>(color));
    }
    if (++rowsRead == board.side) inBoard = false;
  }
  if (input.bad()) return BoardFileError{0, "cannot be read"};
  if (inBoard)
    return fail("the board that starts on line " + std::to_string(headerLine) + " ends after " +
                std::to_string(rowsRead) + " of its " + std::to_string(boards.back().side) +
                " rows");
  if (boards.empty()) return BoardFileError{0, "holds no boards"};
  return boards;
}

void writeBoard(std::ostream& output, const BoardColors& board, uint64_t index) {
  std::string text = "# board " + std::to_string(index) + "\n" + std::to_string(board.side) + " " +
                     std::to_string(board.colorCount) + "\n";
  for (uint32_t y = 0; y < board.side; ++y) {
    for (uint32_t x = 0; x < board.side; ++x) {
      if (x > 0) text += ' ';
      text += std::to_string(board.colors[static_cast<size_t>(y) * board.side + x]);
    }
    text += '\n';
  }
  output << text;
}
