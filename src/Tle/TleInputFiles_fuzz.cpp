// Fuzz target of the input-file reader: the bytes are the lines of a file,
// fed to the line pairer in memory. Reading never crashes, the counts add up
// to what the store holds, and every set read is reported once.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"

using namespace vx::tle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  int32_t err = 0;
  tlestore().emptyTree(err);
  LoadCounts counts;
  int64_t reported = 0;
  const vx::store::SetReporter report{[](const vx::store::SetReport&, void* user) { ++*static_cast<int64_t*>(user); },
                                      &reported};
  const int32_t rc = readtlesfrtext(std::string_view(reinterpret_cast<const char*>(data), size), counts, report);
  const int32_t count = tlestore().count();
  // In tree mode every loaded set is a node of its own.
  if (rc == 0 && (count != counts.loaded || reported != counts.total())) std::abort();
  tlestore().emptyTree(err);
  return 0;
}
