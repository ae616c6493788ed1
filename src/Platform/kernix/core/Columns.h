// Columns of fixed-column text formats, counted from 1, first and last
// inclusive, as the formats' own descriptions give them. A format writes its
// layout once as data in these terms; only colText/colChar/colPtr turn a
// column into an offset.
#pragma once

#include <cstddef>
#include <string_view>

namespace vx {

struct Cols {
  int first;  // 1-based, inclusive
  int last;
  constexpr int width() const { return last - first + 1; }
};

// Text of columns c; columns beyond the end of the line are left out (they
// read as blanks).
inline std::string_view colText(std::string_view line, Cols c) {
  const size_t first = static_cast<size_t>(c.first - 1);
  if (first >= line.size()) return {};
  return line.substr(first, static_cast<size_t>(c.width()));
}

// Character of column c, a blank beyond the end of the line.
inline char colChar(std::string_view line, int c) {
  const size_t at = static_cast<size_t>(c - 1);
  return at < line.size() ? line[at] : ' ';
}

// Where columns c start in an output buffer.
inline char* colPtr(char* buf, Cols c) { return buf + (c.first - 1); }
inline char* colPtr(char* buf, int c) { return buf + (c - 1); }

}  // namespace vx
