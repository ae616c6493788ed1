// Fuzz target of the state-vector input-file reader: the bytes are a whole
// file. Loading never crashes or hangs, and a load that runs to its end
// reports its totals last.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Kinem/KinemInputFiles.h"
#include "Kinem/KinemTree.h"
#include "Services/kernix.h"

using namespace vx::kinem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static const std::string path = "/tmp/vx_fuzz_vectors_" + std::to_string(::getpid()) + ".vec";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  int32_t err = 0;
  kinemstore().emptyTree(err);
  // File cards would name arbitrary files; the DMA card switches the mode
  // for good: both are exercised, and the mode is put back after.
  const int32_t rc = readkinemsfrfile(path);
  vx::elsetkeymodeset(0);
  if (kinemstore().count() < 0 || (rc == 0 && vx::lastinfomsg().substr(0, 15) != "Total Kinems = ")) std::abort();
  kinemstore().emptyTree(err);
  return 0;
}
