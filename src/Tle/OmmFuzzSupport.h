// What the OMM fuzz targets share: the abort on a broken property, a sink
// that checks every report (positions count from 1 and do not fall, every
// bad report has a reason, every byte of every value can be read while the
// record is reported), a sink that copies the values of each record, and
// writing the copies again.
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
    std::fprintf(stderr, "OMM fuzz property broke: %s\n", what);
    std::abort();
  }
}

struct Check : OmmSink {
  std::string seen;  // every report and value, to compare two reads
  int32_t last = 0;
  bool lastBad = false;
  void record(const OmmText& rec) override {
    require(rec.position >= 1 && rec.position >= last, "record positions rise");
    last = rec.position;
    lastBad = false;
    seen += "R";
    for (size_t i = 0; i < kKeyCount; ++i)
      if (rec.present[i]) seen.append(rec.value[i]).push_back('\n');
  }
  void bad(int32_t position, std::string_view why) override {
    require(position >= 1, "positions count from 1");
    require(!why.empty(), "a reason");
    lastBad = true;
    seen.append("B").append(std::to_string(position)).append(why);
  }
};

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
