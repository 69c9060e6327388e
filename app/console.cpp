#include "app/console.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <limits>
#include <utility>

#include "app/platform.h"

namespace {

ConsoleSink consoleSink;               // empty: standard output
std::istream* consoleInput = nullptr;  // nullptr: std::cin

// Prompts end without a newline and the user types behind them, so nothing may wait in a buffer.
void writeToStdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

}  // namespace

void setConsoleSink(ConsoleSink sink) {
  consoleSink = std::move(sink);
}

void setConsoleInput(std::istream* input) {
  consoleInput = input;
}

void resetConsole() {
  consoleSink = nullptr;
  consoleInput = nullptr;
}

void consolePrint(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list sizing;
  va_copy(sizing, args);
  const int length = std::vsnprintf(nullptr, 0, format, sizing);
  va_end(sizing);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
  }
  va_end(args);
  if (text.empty()) return;
  if (consoleSink)
    consoleSink(text);
  else
    writeToStdout(text);
}

std::string readLine() {
  consoleLineMode();
  std::istream& input = consoleInput ? *consoleInput : std::cin;
  std::string line;
  if (!std::getline(input, line)) throw EndOfInput{};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool consoleInputEnded() {
  const std::istream& input = consoleInput ? *consoleInput : std::cin;
  return !input.good();
}

int32_t parseInt(std::string_view text) {
  size_t position = 0;
  while (position < text.size() && isBlank(text[position])) ++position;
  bool negative = false;
  if (position < text.size() && (text[position] == '+' || text[position] == '-')) {
    negative = text[position] == '-';
    ++position;
  }
  // Accumulated as a magnitude that stops growing once it is past every 32-bit value.
  constexpr int64_t kBeyond = int64_t{1} << 32;
  int64_t magnitude = 0;
  for (; position < text.size() && text[position] >= '0' && text[position] <= '9'; ++position)
    if (magnitude < kBeyond) magnitude = magnitude * 10 + (text[position] - '0');
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t askValue(const char* prompt, int32_t min, int32_t max,
                 std::optional<int32_t> defaultValue) {
  for (;;) {
    consolePrint("%s", prompt);
    const std::string line = readLine();
    if (line.empty()) {
      if (!defaultValue) continue;
      consolePrint("Using default value: %d\n", *defaultValue);
      return *defaultValue;
    }
    const int32_t value = parseInt(line);
    if (value >= min && value <= max) return value;
    printOutOfRange(value, min, max);
  }
}

void printOutOfRange(int32_t value, int32_t min, int32_t max) {
  consolePrint("Value (%d) is not between %d and %d\n", value, min, max);
}
