#include "Platform/orbix/Snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "Platform/orbix/ElementLines.h"

namespace vx::orbix {
namespace {

const std::string kDir = std::string(VX_SOURCE_DIR) + "/tests/data/sgp4/";

std::vector<MeanElements> loadElements(const std::string& path) {
  std::ifstream in(path);
  std::vector<MeanElements> out;
  std::string l1, line;
  while (std::getline(in, line)) {
    if (line.rfind("1 ", 0) == 0) l1 = line;
    if (line.rfind("2 ", 0) != 0 || l1.empty()) continue;
    out.push_back(lines::fromLines(l1, line));
    l1.clear();
  }
  return out;
}

struct States {
  std::vector<double> pos, vel;
  std::vector<int32_t> err;
  explicit States(size_t n) : pos(3 * n, -1.0), vel(3 * n, -1.0), err(n, -1) {}
};

// The batch path against the scalar path, every layout and time mode, on a
// range that starts off a vector boundary and spans several outer blocks.
TEST(Snapshot, BatchAndScalarPathsAgree) {
  const char* files[] = {"SGP4-VER.TLE", "catalog-300.tle", "catalog2000.tle"};
  for (const char* f : files) {
    const std::vector<MeanElements> els = loadElements(kDir + f);
    ASSERT_GT(els.size(), 10u) << f;
    for (OpsMode mode : {OpsMode::afspc, OpsMode::improved}) {
      const Snapshot snap(els, GravConst::wgs72(), mode, {}, {}, true);
      const size_t first = 3, count = snap.size() - first;
      const double t0 = snap.epochDs50(first);
      const std::vector<double> minutes = {-4320.0, -1.0, 0.0, 47.5, 1440.0, 4320.0,
                                           std::numeric_limits<double>::quiet_NaN(), 2e9, -1.5e9};
      std::vector<double> ds50;
      for (double m : minutes) ds50.push_back(t0 + m / 1440.0);
      std::vector<double> zipped(count);
      for (size_t i = 0; i < count; ++i) zipped[i] = -4000.0 + 7.0 * static_cast<double>(i % 1200);
      std::vector<double> zipped50(count);
      for (size_t i = 0; i < count; ++i) zipped50[i] = snap.epochDs50(first + i) + zipped[i] / 1440.0;
      struct Case {
        const std::vector<double>* times;
        TimeMode tm;
        Layout layout;
      };
      const Case cases[] = {{&minutes, TimeMode::sinceEpoch, Layout::outer},
                            {&ds50, TimeMode::ds50, Layout::outer},
                            {&zipped, TimeMode::sinceEpoch, Layout::zipped},
                            {&zipped50, TimeMode::ds50, Layout::zipped}};
      for (const Case& c : cases) {
        const size_t n = c.layout == Layout::outer ? count * c.times->size() : count;
        States b(n), s(n);
        snap.propagate(first, count, *c.times, c.tm, c.layout, b.pos.data(), b.vel.data(), b.err.data());
        snap.propagate(first, count, *c.times, c.tm, c.layout, s.pos.data(), s.vel.data(), s.err.data(),
                       Path::scalar);
        size_t bad = 0;
        // 1e-7 km, or one part in 1e13 of a state far out (a time years
        // from an epoch other than the set's own).
        const auto near = [](const double* x, const double* y, double tol) {
          for (int i = 0; i < 3; ++i)
            if (!(std::fabs(x[i] - y[i]) <= std::max(tol, 1e-13 * std::fabs(y[i])))) return false;
          return true;
        };
        for (size_t k = 0; k < n && bad < 5; ++k) {
          const bool ok = b.err[k] == s.err[k] && near(&b.pos[3 * k], &s.pos[3 * k], 1e-7) &&
                          near(&b.vel[3 * k], &s.vel[3 * k], 1e-10);
          if (!ok) ++bad;
          EXPECT_TRUE(ok) << f << " layout " << static_cast<int>(c.layout) << " mode "
                          << static_cast<int>(c.tm) << " entry " << k << " err " << b.err[k] << "/"
                          << s.err[k] << " pos " << b.pos[3 * k] - s.pos[3 * k] << " "
                          << b.pos[3 * k + 1] - s.pos[3 * k + 1] << " " << b.pos[3 * k + 2] - s.pos[3 * k + 2]
                          << " vel " << b.vel[3 * k] - s.vel[3 * k];
        }
      }
    }
  }
}

// Codes given beforehand mark their entries failed; ids are kept per set.
TEST(Snapshot, GivenCodesAndIds) {
  std::vector<MeanElements> els = loadElements(kDir + "catalog-300.tle");
  els.resize(12);
  std::vector<int64_t> ids(els.size());
  std::vector<int32_t> codes(els.size(), 0);
  for (size_t i = 0; i < ids.size(); ++i) ids[i] = 1000 + static_cast<int64_t>(i);
  codes[0] = kSgp4NoSet;
  codes[9] = kSgp4NotMeanSet;
  els[9].eccentricity = std::numeric_limits<double>::quiet_NaN();  // never read
  const Snapshot snap(els, GravConst::wgs72(), OpsMode::improved, ids, codes);
  const Snapshot plain(els, GravConst::wgs72(), OpsMode::improved);
  const double t[1] = {10.0};
  States b(els.size());
  snap.propagate(0, els.size(), t, TimeMode::sinceEpoch, Layout::outer, b.pos.data(), b.vel.data(), b.err.data());
  for (size_t i = 0; i < els.size(); ++i) {
    EXPECT_EQ(snap.id(i), ids[i]);
    EXPECT_EQ(plain.id(i), 0);
    const int32_t want = i == 0 ? kSgp4NoSet : i == 9 ? kSgp4NotMeanSet : 0;
    EXPECT_EQ(snap.initError(i), want) << i;
    EXPECT_EQ(b.err[i], want) << i;
    if (want != 0) {
      EXPECT_EQ(b.pos[3 * i], 0.0);
      EXPECT_EQ(b.vel[3 * i + 2], 0.0);
    }
  }
  EXPECT_EQ(plain.initError(9), kSgp4BadInput);
  EXPECT_EQ(sgp4message(kSgp4NoSet), "no element set for this key");
}

}  // namespace
}  // namespace vx::orbix
