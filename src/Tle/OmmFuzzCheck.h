// What the OMM reader fuzz targets check of every report: positions count
// from 1 and do not fall, every bad report has a reason, a failed read ends
// with its reason, and every byte of every value can be read while the
// record is reported.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Tle/OmmText.h"

namespace vx::tle::omm::fuzz {

inline void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "OMM reader broke: %s\n", what);
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

}  // namespace vx::tle::omm::fuzz
