// The one random source of the program: a fresh clock-seeded engine per draw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// First output of a std::mt19937 freshly seeded with `seed`, computed without building the
// whole state (only the three words the first twist reads are derived).
uint32_t firstMersenneOutput(uint32_t seed);
// The same for `count` seeds taken from `nextSeed` one per output, in order; two seeds are
// worked on at a time, which halves the time per output.
void firstMersenneOutputs(uint32_t (*nextSeed)(), uint32_t* outputs, size_t count);

// Maps one 32-bit engine output to [0, 1] in single precision: float(x) / 2^32, so the 128
// largest outputs give exactly 1.0.
float drawFromOutput(uint32_t x);

// Reads the steady clock, seeds a fresh engine with the low 32 bits of its nanosecond count and
// maps its first output.
float clockSeededDraw();
// The engine outputs of `count` such draws in a row, each seeded from its own clock reading
// (taken in order); drawFromOutput maps each. Board generation uses it.
void clockSeededOutputs(uint32_t* outputs, size_t count);

// Tile colour for a draw u: roundf(u * (colorCount - 1)) in single precision.
uint32_t colorFromDraw(float u, int32_t colorCount);

// How a 32-bit output becomes a tile colour. `program` is the program's own rule,
// colorFromDraw(drawFromOutput(x)), under which the two end colours come up half as often as the
// others. `uniform` is (x * colours) >> 32: each colour takes floor or ceil of 2^32 / colours of
// the outputs, equal shares to within one part in 10^8.
enum class ColorDraw { program, uniform };
uint32_t colorFromOutput(uint32_t output, uint32_t colorCount, ColorDraw draw);
// "program" or "uniform", and back; nothing for any other name.
const char* colorDrawName(ColorDraw draw);
std::optional<ColorDraw> colorDrawNamed(std::string_view name);
