// What the OMM reader tests share: a sink that keeps copies of what it is
// told, the sample catalog's CSV twin as keyword -> value, and a comparison
// of values that reads numbers as doubles.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Tle/OmmText.h"

namespace vx::testing::omm {

using namespace vx::tle::omm;

struct Record {
  int32_t position = 0;
  std::map<std::string, std::string> values;  // keyword -> text ("null" for a null)
  bool duplicate = false;
};

struct Collect : OmmSink {
  std::vector<Record> records;
  std::vector<std::pair<int32_t, std::string>> bads;
  void record(const OmmText& rec) override {
    Record r{rec.position, {}, rec.duplicate != Key::kCount};
    for (size_t i = 0; i < kKeyCount; ++i)
      if (rec.present[i]) r.values[std::string(keyName(Key(i)))] = rec.isNull[i] ? "null" : std::string(rec.value[i]);
    records.push_back(std::move(r));
  }
  void bad(int32_t position, std::string_view why) override { bads.emplace_back(position, std::string(why)); }
};

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string dataPath(const char* name) { return std::string(VX_SOURCE_DIR) + "/tests/data/omm/" + name; }

// The sample's CSV twin: a header row and one row, no quoting in it.
inline std::map<std::string, std::string> sampleCsv() {
  std::istringstream in(readText(dataPath("sample_omm.csv")));
  std::string head, row, a, b;
  std::getline(in, head);
  std::getline(in, row);
  std::istringstream h(head), r(row);
  std::map<std::string, std::string> out;
  while (std::getline(h, a, ',') && std::getline(r, b, ',')) {
    if (!b.empty() && b.back() == '\r') b.pop_back();
    out[a] = b;
  }
  return out;
}

// Equal as text, or, for a number keyword, equal as doubles.
inline void expectSame(const std::string& keyword, const std::string& got, const std::string& want) {
  Key key;
  if (keyOf(keyword, key) && isNumberKey(key) && got != want) {
    double g = 0, w = 0;
    auto rg = std::from_chars(got.data(), got.data() + got.size(), g);
    auto rw = std::from_chars(want.data(), want.data() + want.size(), w);
    ASSERT_TRUE(rg.ec == std::errc() && rg.ptr == got.data() + got.size()) << keyword << ": " << got;
    ASSERT_TRUE(rw.ec == std::errc()) << keyword << ": " << want;
    EXPECT_EQ(g, w) << keyword;
    return;
  }
  EXPECT_EQ(got, want) << keyword;
}

// A document the reader cannot read on: it fails, tells why once at the
// position of the fault, and the records before the fault have arrived.
struct FaultCase {
  const char* name;
  std::string doc;
  size_t recordsBefore;
  int32_t position;
  std::string why;
};

template <class Read>
void expectFaults(const std::vector<FaultCase>& cases, Read read) {
  for (const auto& c : cases) {
    Collect got;
    EXPECT_FALSE(read(c.doc, got)) << c.name;
    EXPECT_EQ(got.records.size(), c.recordsBefore) << c.name;
    ASSERT_EQ(got.bads.size(), 1u) << c.name;
    EXPECT_EQ(got.bads[0].first, c.position) << c.name;
    EXPECT_EQ(got.bads[0].second, c.why) << c.name;
  }
}

}  // namespace vx::testing::omm
