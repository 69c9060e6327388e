#include "study/escape.h"

#include <cstdint>
#include <cstdio>

namespace {

// The length of the valid UTF-8 sequence that starts `text`, or 0.
size_t utf8Length(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint32_t point = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
    point = lead & 0x1fu;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    point = lead & 0x0fu;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    point = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0) != 0x80) return 0;
    point = point << 6 | (byte(i) & 0x3fu);
  }
  const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
  const bool surrogate = point >= 0xd800 && point <= 0xdfff;
  if (overlong || surrogate || point > 0x10ffff) return 0;
  // C1 controls (U+0080..U+009F) act on terminals as their escape forms do.
  return point < 0xa0 ? 0 : length;
}

}  // namespace

std::string escapedForTerminal(std::string_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c >= 0x20 && c < 0x7f) {
      shown += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c >= 0x80) {
      if (const size_t length = utf8Length(text.substr(i)); length > 0) {
        shown.append(text.substr(i, length));
        i += length;
        continue;
      }
    }
    char escape[8];
    if (c == '\t' || c == '\r' || c == '\n')
      std::snprintf(escape, sizeof escape, "\\%c", c == '\t' ? 't' : c == '\r' ? 'r' : 'n');
    else
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
    shown += escape;
    ++i;
  }
  return shown;
}
