// Fuzz target of the OMM JSON reader: any text reads without harm, record
// numbers rise, a failed read ends with its reason, and reading in place from
// a padded buffer gives what reading from a copy gives.
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
    std::fprintf(stderr, "JSON reader broke: %s\n", what);
    std::abort();
  }
}

struct Check : OmmSink {
  std::string seen;  // every call and value, to compare two reads
  int32_t last = 0;
  bool lastBad = false;
  void record(const OmmText& rec) override {
    lastBad = false;
    require(rec.position > last, "record numbers rise");
    last = rec.position;
    seen += "R";
    for (size_t i = 0; i < kKeyCount; ++i)
      if (rec.present[i]) seen.append(rec.value[i]).push_back('\n');  // reads every byte of every value
  }
  void bad(int32_t position, std::string_view why) override {
    require(position >= 1, "positions count from 1");
    require(!why.empty(), "a reason");
    lastBad = true;
    seen.append("B").append(std::to_string(position)).append(why);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view doc(reinterpret_cast<const char*>(data), size);
  Check copied;
  const bool ok = readOmmJson(doc, copied);
  std::vector<char> padded(doc.begin(), doc.end());
  padded.resize(size + kReadPadding, ' ');
  Check inPlace;
  require(readOmmJson({padded.data(), size}, inPlace, true) == ok, "same result in place");
  require(inPlace.seen == copied.seen, "same reports in place");
  require(ok || copied.lastBad, "a fault is told last");
  return 0;
}
