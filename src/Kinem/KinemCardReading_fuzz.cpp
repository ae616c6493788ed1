// Fuzz target of the 1P/2P card reader: any two lines parse without harm,
// and a vector that parses writes cards that read back as that vector
// (within the written precision) whenever the loss test says they do; when
// it names no loss, the cards must read back.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Kinem/KinemCardReading.h"
#include "Kinem/KinemLines.h"

using namespace vx::kinem;

namespace {

void require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "round trip broke: %s\n", what);
    std::abort();
  }
}

bool near(double a, double b, double tol) { return std::fabs(a - b) <= tol; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1200) return 0;
  // The input is the 1P card, a newline, the 2P card; each is used as a
  // 512-character blank-padded line, as the library's callers hand them over.
  const std::string in(reinterpret_cast<const char*>(data), size);
  const size_t nl = in.find('\n');
  std::string l1 = in.substr(0, nl), l2 = nl == std::string::npos ? "" : in.substr(nl + 1);
  l1.resize(kLineLen, ' ');
  l2.resize(kLineLen, ' ');
  (void)kinemcardtype(l1);
  (void)kinemcardtype(l2);

  Kinemrecord rec;
  if (lines2kinem(l1, l2, rec) != 0) return 0;

  char o1[kLineLen], o2[kLineLen];
  kinem2lines(rec, o1, o2);
  if (!kinemlinesloss(rec, o1, o2).empty()) return 0;

  Kinemrecord again;
  require(lines2kinem({o1, kLineLen}, {o2, kLineLen}, again) == 0, "written cards parse");
  for (size_t i = 0; i < 3; ++i) {
    require(near(again.pos[i], rec.pos[i], 0.5e-4 * (1 + 1e-9) + 1e-15 * std::fabs(rec.pos[i])), "position");
    require(near(again.vel[i], rec.vel[i], 0.5e-4 * (1 + 1e-9) + 1e-15 * std::fabs(rec.vel[i])), "velocity");
  }
  // Ten columns hold at least eight significant digits, or every digit down
  // to the ninth decimal.
  for (double Kinemrecord::*m : {&Kinemrecord::bTerm, &Kinemrecord::agom, &Kinemrecord::thrustAcc})
    require(near(again.*m, rec.*m, 5e-8 * std::max(1.0, std::fabs(rec.*m)) + 5e-10), "terms");
  require(again.satNum == rec.satNum && again.epochRev == rec.epochRev && again.elsetNum == rec.elsetNum,
          "integers");
  require(again.secClass == rec.secClass && again.intlDes == rec.intlDes && again.coordSys == rec.coordSys, "texts");
  // The epoch comes back right-adjusted, with the same characters.
  const std::string_view e0 = rec.epoch(), e1 = again.epoch();
  const size_t n0 = e0.find_last_not_of(' '), n1 = e1.find_last_not_of(' ');
  require((n0 == std::string_view::npos) == (n1 == std::string_view::npos), "epoch blank");
  if (n0 != std::string_view::npos)
    require(n1 == e1.size() - 1 && e1.substr(e1.size() - 1 - n0) == e0.substr(0, n0 + 1), "epoch right-adjusted");

  // What the cards gave back writes cards that read back too.
  char p1[kLineLen], p2[kLineLen];
  kinem2lines(again, p1, p2);
  require(kinemlinesloss(again, p1, p2).empty(), "cards of the read-back vector");
  return 0;
}
