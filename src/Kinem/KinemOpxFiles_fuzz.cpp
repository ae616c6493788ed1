// Fuzz target of the OPX readers: the bytes are one file, read once as a
// vector file and once as a control file. Every read counts its vector
// exactly once, a stored vector holds only finite reals and a printable
// designator, and the controls come back complete and finite.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Kinem/KinemOpxFiles.h"
#include "Kinem/KinemTree.h"
#include "Services/kernix.h"

using namespace vx::kinem;

namespace {

constexpr int32_t kUnit = 4;

bool finiteRecord(const Kinemrecord& r) {
  for (double v : {r.pos[0], r.pos[1], r.pos[2], r.vel[0], r.vel[1], r.vel[2], r.bTerm, r.agom, r.thrustAcc,
                   r.weightedRms})
    if (!std::isfinite(v)) return false;
  if (r.covariance)
    for (double v : *r.covariance)
      if (!std::isfinite(v)) return false;
  for (char c : r.intlDes)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static const std::string path = "/tmp/vx_fuzz_opx_" + std::to_string(::getpid()) + ".txt";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  int32_t err = 0;
  kinemstore().emptyTree(err);
  if (vx::fileopen(kUnit, path, vx::kFileRead, "Fuzz") != 0) return 0;
  int32_t loaded = 0, dup = 0, bad = 0, status = -1;
  int64_t key = -1;
  readopxkinems(kUnit, loaded, dup, bad, status, &key);
  vx::fileclose(kUnit);
  if (status != 0 || loaded + dup + bad != 1 || dup != 0) std::abort();
  if (kinemstore().count() != loaded || (loaded == 1) != (key != 0)) std::abort();
  if (loaded == 1) {
    Kinemrecord rec;
    if (kinemstore().findRec(key, rec) != 0 || !finiteRecord(rec)) std::abort();
  }
  kinemstore().emptyTree(err);

  if (vx::fileopen(kUnit, path, vx::kFileRead, "Fuzz") != 0) return 0;
  Card4pinput ctl;
  readopxctrls(ctl, kUnit);
  vx::fileclose(kUnit);
  if (ctl.ctlFlagA != 1 || ctl.ctlFlagB != 1 || ctl.ctlFlagC != 1 || ctl.ctlCode != 12) std::abort();
  if (!std::isfinite(ctl.stepSize)) std::abort();
  opxsetapplyperts(false);
  return 0;
}
