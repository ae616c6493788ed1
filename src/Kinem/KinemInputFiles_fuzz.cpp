// Fuzz target of the state-vector input-file reader: the bytes are the lines
// of a file, fed to the card pairer in memory. Reading never crashes or
// hangs, the counts add up to what the store holds, and every card set read
// is reported once.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Kinem/KinemInputFiles.h"
#include "Kinem/KinemTree.h"
#include "Services/kernix.h"

using namespace vx::kinem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  int32_t err = 0;
  kinemstore().emptyTree(err);
  vx::store::LoadCounts counts;
  int64_t reported = 0;
  const vx::store::SetReporter report{[](const vx::store::SetReport&, void* user) { ++*static_cast<int64_t*>(user); },
                                      &reported};
  const int32_t rc = readkinemsfrtext(std::string_view(reinterpret_cast<const char*>(data), size), counts, report);
  // In tree mode every loaded vector is a node of its own.
  if (rc == 0 && (kinemstore().count() != counts.loaded || reported != counts.total())) std::abort();
  kinemstore().emptyTree(err);
  return 0;
}
