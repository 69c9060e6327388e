#include "study/progress.h"

#include <cstdio>
#include <string>

namespace {

std::string duration(double seconds) {
  const auto whole = static_cast<unsigned long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60,
                  whole % 60);
  else
    std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
  return text;
}

}  // namespace

void ProgressLine::draw(uint64_t done, uint64_t total, double seconds) {
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  char text[160];
  std::snprintf(text, sizeof text, "%llu of %llu boards, %.0f boards/s, %s left",
                static_cast<unsigned long long>(done), static_cast<unsigned long long>(total), rate,
                rate > 0 ? duration(static_cast<double>(total - done) / rate).c_str() : "?");
  const std::string line = text;
  std::fprintf(stderr, "\r%s%s", line.c_str(),
               std::string(width > line.size() ? width - line.size() : 0, ' ').c_str());
  std::fflush(stderr);
  width = line.size();
  shown = true;
}

void ProgressLine::erase() {
  if (!shown) return;
  std::fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
  std::fflush(stderr);
}
