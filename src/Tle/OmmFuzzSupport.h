// What the OMM fuzz targets share: the abort on a broken property, a sink
// that copies the values of each record, and writing the copies again.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Tle/OmmText.h"

namespace vx::tle::omm::fuzz {

inline void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "round trip broke: %s\n", what);
    std::abort();
  }
}

// The first N keys of each record, copied; a key not given (or null) is
// left empty.
template <size_t N>
struct Copy final : OmmSink {
  using Set = std::array<std::string, N>;
  std::vector<Set> sets;
  size_t bads = 0;
  void record(const OmmText& rec) override {
    auto& s = sets.emplace_back();
    for (size_t i = 0; i < N; ++i)
      if (rec.has(static_cast<Key>(i))) s[i] = std::string(rec[static_cast<Key>(i)]);
  }
  void bad(int32_t, std::string_view why) override {
    require(!why.empty(), "a bad record without a reason");
    ++bads;
  }
};

// A whole document of the copies, empty values left out.
template <size_t N>
std::string writeAll(OmmWriter& writer, const std::vector<std::array<std::string, N>>& sets) {
  std::string out;
  writer.begin(out);
  for (const auto& s : sets) {
    OmmValues v;
    for (size_t i = 0; i < N; ++i) {
      v.value[i] = s[i];
      v.present[i] = !s[i].empty();
    }
    writer.record(v, out);
  }
  writer.end(out);
  return out;
}

}  // namespace vx::tle::omm::fuzz
