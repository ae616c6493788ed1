// Fuzz target of the OMM CSV reader: any document reads without harm, and
// the records read, written again by the CSV writer, read back to the same
// values.
#include <cstdint>
#include <vector>

#include "Tle/OmmFuzzSupport.h"

using namespace vx::tle::omm;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact copy, so a read past the end shows under the sanitizers.
  const std::vector<char> doc(data, data + size);
  fuzz::Copy<kCsvKeyCount> first;
  readOmmCsv({doc.data(), doc.size()}, first);
  const std::string out = fuzz::writeAll(*makeOmmCsvWriter(), first.sets);
  fuzz::Copy<kCsvKeyCount> again;
  require(readOmmCsv(out, again), "the written document reads to its end");
  require(again.bads == 0 && again.sets == first.sets, "the same values");
  return 0;
}
