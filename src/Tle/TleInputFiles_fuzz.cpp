// Fuzz target of the input-file reader: the bytes are a whole file. Loading
// never crashes, and the totals add up to what the store holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Services/kernix.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"

using namespace vx::tle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static const std::string path = "/tmp/vx_fuzz_input_" + std::to_string(::getpid()) + ".tle";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  int32_t err = 0;
  tlestore().emptyTree(err);
  // File cards would name arbitrary files; the DMA card switches the mode
  // for good: both are exercised, and the mode is put back after.
  const int32_t rc = readtlesfrfile(path);
  vx::elsetkeymodeset(0);
  const int32_t count = tlestore().count();
  // A load that ran to its end reports its totals last.
  if (count < 0 || (rc == 0 && vx::lastinfomsg().substr(0, 13) != "Total TLEs = ")) std::abort();
  tlestore().emptyTree(err);
  return 0;
}
