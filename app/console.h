// Console primitives shared by every dialogue: formatted output that shows at once, line input,
// number parsing and the range-checked question.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

// Thrown by readLine when standard input ends or fails while a question is open; the entry
// point catches it and ends the program with status 0.
struct EndOfInput {};

// Where console text goes and where lines come from. The defaults are stdout (flushed at once)
// and std::cin; tests swap in their own.
using ConsoleSink = std::function<void(std::string_view)>;
void setConsoleSink(ConsoleSink sink);
void setConsoleInput(std::istream* input);  // nullptr restores std::cin
void resetConsole();

// printf-style output through the console sink.
void consolePrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// One line without its newline (and without one trailing CR). Throws EndOfInput.
std::string readLine();

// True once a read has met the end of the console's input, for instance when the last answer
// was ended by end of input instead of a newline.
bool consoleInputEnded();

// Leading white space, optional sign, decimal digits up to the first non-digit; 0 without a
// digit; clamped to the signed 32-bit range.
int32_t parseInt(std::string_view text);

// Prompts until a value in min..max (inclusive) is given; an empty line yields the default when
// there is one, otherwise asks again.
int32_t askValue(const char* prompt, int32_t min, int32_t max,
                 std::optional<int32_t> defaultValue = std::nullopt);

// The out-of-range message every range check prints.
void printOutOfRange(int32_t value, int32_t min, int32_t max);

inline constexpr const char* kMenuHint = "Press F1 to display the menu and enter a command.\n";
