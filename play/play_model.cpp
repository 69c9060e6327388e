#include "play/play_model.h"

#include <algorithm>

namespace {

// The tiles of the player's region, found by a flood fill from tile 0.
std::vector<uint32_t> playerRegion(const BoardColors& colors) {
  const uint32_t side = colors.side;
  const size_t tileCount = colors.colors.size();
  const uint8_t own = colors.colors[0];
  std::vector<uint8_t> seen(tileCount, 0);
  std::vector<uint32_t> region{0};
  seen[0] = 1;
  for (size_t next = 0; next < region.size(); ++next) {
    const uint32_t tile = region[next];
    const uint32_t x = tile % side;
    const auto visit = [&](uint32_t neighbour) {
      if (seen[neighbour] || colors.colors[neighbour] != own) return;
      seen[neighbour] = 1;
      region.push_back(neighbour);
    };
    if (x > 0) visit(tile - 1);
    if (x + 1 < side) visit(tile + 1);
    if (tile >= side) visit(tile - side);
    if (tile + side < tileCount) visit(tile + side);
  }
  return region;
}

bool touches(const BoardColors& colors, const std::vector<uint32_t>& region, uint8_t color) {
  const uint32_t side = colors.side;
  const size_t tileCount = colors.colors.size();
  return std::any_of(region.begin(), region.end(), [&](uint32_t tile) {
    const uint32_t x = tile % side;
    return (x > 0 && colors.colors[tile - 1] == color) ||
           (x + 1 < side && colors.colors[tile + 1] == color) ||
           (tile >= side && colors.colors[tile - side] == color) ||
           (tile + side < tileCount && colors.colors[tile + side] == color);
  });
}

void paint(BoardColors& colors, const std::vector<uint32_t>& region, uint8_t color) {
  for (const uint32_t tile : region) colors.colors[tile] = color;
}

}  // namespace

void startPlay(PlayState& state, const BoardColors& board) {
  state.start = board;
  state.current = board;
  state.moves.clear();
}

bool playColor(PlayState& state, uint8_t color) {
  if (color >= state.current.colorCount || color == playerColor(state.current)) return false;
  const std::vector<uint32_t> region = playerRegion(state.current);
  if (!touches(state.current, region, color)) return false;
  paint(state.current, region, color);
  state.moves.push_back(color);
  return true;
}

void playCounted(PlayState& state, uint8_t color) {
  if (playColor(state, color)) return;
  // The region takes the colour all the same, as the rules have it.
  if (color < state.current.colorCount) paint(state.current, playerRegion(state.current), color);
  state.moves.push_back(color);
}

bool takeBack(PlayState& state) {
  if (state.moves.empty()) return false;
  // Replaying from the start is cheap at these sizes and keeps one source of truth.
  std::vector<uint8_t> kept(state.moves.begin(), state.moves.end() - 1);
  state.current = state.start;
  state.moves.clear();
  for (const uint8_t color : kept) playCounted(state, color);
  return true;
}

void restart(PlayState& state) {
  state.current = state.start;
  state.moves.clear();
}

bool isSolved(const BoardColors& colors) {
  return std::all_of(colors.colors.begin(), colors.colors.end(),
                     [&](uint8_t color) { return color == colors.colors[0]; });
}
