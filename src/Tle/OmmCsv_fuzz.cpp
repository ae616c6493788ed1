// Fuzz target of the OMM CSV reader: any document reads without harm, and
// the records read, written again by the CSV writer, read back to the same
// values.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Tle/OmmText.h"

using namespace vx::tle::omm;

namespace {

void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "round trip broke: %s\n", what);
    std::abort();
  }
}

// The values of the CSV columns of each record, copied; nulls left empty.
struct Copy final : OmmSink {
  std::vector<std::array<std::string, kCsvKeyCount>> sets;
  void record(const OmmText& rec) override {
    auto& s = sets.emplace_back();
    for (size_t i = 0; i < kCsvKeyCount; ++i)
      if (rec.has(static_cast<Key>(i))) s[i] = std::string(rec[static_cast<Key>(i)]);
  }
  void bad(int32_t, std::string_view why) override { require(!why.empty(), "a bad record without a reason"); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact copy, so a read past the end shows under the sanitizers.
  const std::vector<char> doc(data, data + size);
  Copy first;
  readOmmCsv({doc.data(), doc.size()}, first);
  auto writer = makeOmmCsvWriter();
  std::string out;
  writer->begin(out);
  for (const auto& s : first.sets) {
    OmmValues v;
    for (size_t i = 0; i < kCsvKeyCount; ++i) {
      v.value[i] = s[i];
      v.present[i] = !s[i].empty();
    }
    writer->record(v, out);
  }
  writer->end(out);
  Copy again;
  require(readOmmCsv(out, again), "the written document reads to its end");
  require(again.sets == first.sets, "the same values");
  return 0;
}
