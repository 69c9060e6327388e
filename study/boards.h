// The boards a study solves: generated from a seed, or read from a board file.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "board/draw.h"
#include "solve/board_colors.h"

// One step of SplitMix64: advances `state` and returns the next 64-bit output.
uint64_t splitMix64(uint64_t& state);

// A seed from the clocks, for a study or a game that was given none (and prints it).
uint64_t seedFromClock();
// The seed a command line gives, or nothing when the text is not an unsigned 64-bit number.
std::optional<uint64_t> seedFromText(std::string_view text);

// Board `index` of the sequence that `seed` starts. Board i's key is output i of SplitMix64
// seeded with `seed`; its tiles, row by row, take the successive outputs of SplitMix64 seeded
// with that key, each mapped from its upper 32 bits by `draw`: exactly as the program maps a
// clock-seeded draw, or uniformly. So any board can be made alone, on any thread, in any order.
void seededBoard(uint64_t seed, uint64_t index, uint32_t side, uint32_t colorCount, ColorDraw draw,
                 BoardColors& board);

// A board file: for each board a line "side colours", then `side` lines of `side` colour indices
// separated by blanks. Blank lines and everything from a '#' to the end of its line are ignored.
// Longer lines are refused: a row of 256 colours takes at most 768 bytes, and the room beyond is
// for comments.
inline constexpr size_t kMaxLineBytes = 4096;

struct BoardFileError {
  uint64_t line = 0;  // 0 when the fault belongs to no single line
  std::string message;
};
std::variant<std::vector<BoardColors>, BoardFileError> readBoards(std::istream& input);

// Writes one board in the file format, after a comment line naming it.
void writeBoard(std::ostream& output, const BoardColors& board, uint64_t index);
