// Fuzz target of the OMM JSON reader: any text reads without harm, and
// reading in place from a padded buffer gives what reading from a copy
// gives.
#include <cstdint>
#include <vector>

#include "Tle/OmmFuzzSupport.h"

using namespace vx::tle::omm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view doc(reinterpret_cast<const char*>(data), size);
  fuzz::Check copied;
  const bool ok = readOmmJson(doc, copied);
  fuzz::require(ok || copied.lastBad, "a failed read ends with its reason");
  std::vector<char> padded(doc.begin(), doc.end());
  padded.resize(size + kReadPadding, ' ');
  fuzz::Check inPlace;
  fuzz::require(readOmmJson({padded.data(), size}, inPlace, true) == ok, "same result in place");
  fuzz::require(inPlace.seen == copied.seen, "same reports in place");
  return 0;
}
