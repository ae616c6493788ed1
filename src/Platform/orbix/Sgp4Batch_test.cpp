#include "Platform/orbix/Sgp4Batch.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "Platform/orbix/ElementLines.h"

namespace vx::orbix {
namespace {

const std::string kDir = std::string(VX_SOURCE_DIR) + "/tests/data/sgp4/";

// Initialised sets of a file of line pairs; in the verification file line 2
// carries the run's start, stop and step after column 69.
struct Loaded {
  std::vector<Sgp4Set> sets;
  std::vector<std::vector<double>> runs;  // the listed times of each set
};

Loaded load(const std::string& path, OpsMode mode = OpsMode::afspc) {
  std::ifstream in(path);
  Loaded out;
  std::string l1, line;
  while (std::getline(in, line)) {
    if (line.rfind("1 ", 0) == 0) l1 = line;
    if (line.rfind("2 ", 0) != 0 || l1.empty()) continue;
    Sgp4Set s;
    sgp4init(lines::fromLines(l1, line), GravConst::wgs72(), mode, s);
    out.sets.push_back(s);
    std::vector<double> run;
    if (line.size() > 69) {
      double se[3] = {0, 0, 0};  // start, stop, step
      const char* p = line.data() + 69;
      const char* e = line.data() + line.size();
      for (double& x : se) {
        while (p < e && *p == ' ') ++p;
        p = std::from_chars(p, e, x).ptr;
      }
      for (double t = se[0]; se[2] > 0.0 && t <= se[1]; t += se[2]) run.push_back(t);
    }
    out.runs.push_back(run);
    l1.clear();
  }
  return out;
}

struct Out {
  std::vector<double> pos, vel;
  std::vector<int32_t> err;
};

// Compares batch results of sets first.. with the scalar sgp4 of the same
// sets and times; returns the number of failed lanes.
size_t expectAgree(const std::vector<Sgp4Set>& sets, size_t first, const std::vector<double>& times,
                   const Out& o, const char* what) {
  size_t failed = 0;
  for (size_t j = 0; j < o.err.size(); ++j) {
    double r[3], v[3];
    const int32_t code = sgp4(sets[first + j], times[times.size() == 1 ? 0 : j], r, v);
    EXPECT_EQ(o.err[j], code) << what << " set " << first + j;
    if (code != 0) ++failed;
    for (int k = 0; k < 3; ++k) {
      if (code != 0) {
        EXPECT_EQ(o.pos[3 * j + k], 0.0) << what << " set " << first + j;
        EXPECT_EQ(o.vel[3 * j + k], 0.0) << what << " set " << first + j;
        continue;
      }
      EXPECT_NEAR(o.pos[3 * j + k], r[k], 1e-7) << what << " set " << first + j << " t " << times[times.size() == 1 ? 0 : j];
      EXPECT_NEAR(o.vel[3 * j + k], v[k], 1e-10) << what << " set " << first + j << " t " << times[times.size() == 1 ? 0 : j];
    }
  }
  return failed;
}

Out run(const Sgp4Batch& b, size_t first, size_t count, const std::vector<double>& times) {
  Out o{std::vector<double>(3 * count, -1.0), std::vector<double>(3 * count, -1.0),
        std::vector<int32_t>(count, -1)};
  if (times.size() == 1)
    propagateBatchAt(b, first, count, times[0], o.pos.data(), o.vel.data(), o.err.data());
  else
    propagateBatch(b, first, count, times.data(), o.pos.data(), o.vel.data(), o.err.data());
  return o;
}

TEST(Sgp4Batch, VerificationSetAtItsTimesAgreesWithScalar) {
  // Both modes: they differ in the deep-space terms at low inclination.
  for (OpsMode mode : {OpsMode::afspc, OpsMode::improved}) {
    const Loaded v = load(kDir + "SGP4-VER.TLE", mode);
    ASSERT_EQ(v.sets.size(), 33u);
    size_t near = 0, deep = 0, failed = 0;
    for (size_t k = 0; k < v.sets.size(); ++k) {
      if (v.runs[k].empty()) continue;
      ++(v.sets[k].deepSpace ? deep : near);
      // One copy of the set per listed time, zipped, plus times past the run
      // where these sets decay or fail.
      std::vector<double> times = v.runs[k];
      for (double t : {-5000.0, 1600.0, 3000.0, 1.0e4, 1.0e5}) times.push_back(t);
      const std::vector<Sgp4Set> copies(times.size(), v.sets[k]);
      const Sgp4Batch b = Sgp4Batch::build(copies);
      failed += expectAgree(copies, 0, times, run(b, 0, times.size(), times), "verification");
    }
    EXPECT_GE(near, 9u);
    EXPECT_GE(deep, 9u);
    EXPECT_GT(failed, 0u);  // the decaying and failing cases are covered
  }
}

TEST(Sgp4Batch, GeneratedCatalogAgreesWithScalarAtManyTimes) {
  const Loaded c = load(kDir + "catalog2000.tle");
  ASSERT_EQ(c.sets.size(), 2000u);
  const Sgp4Batch b = Sgp4Batch::build(c.sets);
  EXPECT_GT(b.scalarIndex.size(), 0u);
  EXPECT_LT(b.scalarIndex.size(), c.sets.size() / 2);
  // The scalar pass takes exactly the resonant and the failed sets.
  size_t kernelDeep = 0, scalar = 0;
  for (size_t k = 0; k < c.sets.size(); ++k) {
    const Sgp4Set& s = c.sets[k];
    const bool inScalar = std::binary_search(b.scalarIndex.begin(), b.scalarIndex.end(), k);
    EXPECT_EQ(inScalar, s.error != 0 || s.irez != 0) << "set " << k;
    scalar += inScalar;
    kernelDeep += s.deepSpace && !inScalar;
  }
  EXPECT_EQ(scalar, b.scalarIndex.size());
  EXPECT_GT(kernelDeep, 0u);
  size_t failed = 0;
  for (double t : {-4320.0, -1440.0, -0.5, 0.0, 1.0, 97.3, 720.0, 1440.0, 4320.0, 4.0e4, 5.0e5})
    failed += expectAgree(c.sets, 0, {t}, run(b, 0, c.sets.size(), {t}), "one time");
  // Each set at its own time (zipped), times spread over +-3 days.
  std::vector<double> times(c.sets.size());
  for (size_t i = 0; i < times.size(); ++i) times[i] = std::fmod(static_cast<double>(i) * 7919.0, 8640.0) - 4320.0;
  failed += expectAgree(c.sets, 0, times, run(b, 0, times.size(), times), "zipped");
  EXPECT_GT(failed, 0u);
}

// Every SIMD target compiled in and supported here (down to the portable
// one a machine without vector units gets) gives the scalar results.
TEST(Sgp4Batch, EveryTargetAgreesWithScalar) {
  const Loaded c = load(kDir + "catalog2000.tle");
  const std::vector<Sgp4Set> sets(c.sets.begin(), c.sets.begin() + 301);
  const Sgp4Batch b = Sgp4Batch::build(sets);
  const auto targets = hwy::SupportedAndGeneratedTargets();
  EXPECT_GE(targets.size(), 2u);
  for (int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    for (double t : {-1440.0, 0.0, 333.3, 4320.0, 5.0e5})
      expectAgree(sets, 0, {t}, run(b, 0, sets.size(), {t}), hwy::TargetName(target));
  }
  hwy::SetSupportedTargetsForTest(0);
}

// Ranges of every length around the vector widths, starting on and off a
// vector boundary: each gives the scalar result and writes nothing past
// its count.
TEST(Sgp4Batch, RangesOfAnyLengthAndStart) {
  const Loaded c = load(kDir + "catalog2000.tle");
  const std::vector<Sgp4Set> sets(c.sets.begin(), c.sets.begin() + 40);
  const Sgp4Batch b = Sgp4Batch::build(sets);
  for (size_t first : {0u, 1u, 3u, 8u, 13u}) {
    for (size_t count : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 15u, 16u, 17u}) {
      std::vector<double> times(count);
      for (size_t j = 0; j < count; ++j) times[j] = 100.0 * static_cast<double>(j) - 300.0;
      Out o{std::vector<double>(3 * count + 3, -1.0), std::vector<double>(3 * count + 3, -1.0),
            std::vector<int32_t>(count + 1, -1)};
      propagateBatch(b, first, count, times.data(), o.pos.data(), o.vel.data(), o.err.data());
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(o.pos[3 * count + k], -1.0) << first << "+" << count;
        EXPECT_EQ(o.vel[3 * count + k], -1.0) << first << "+" << count;
      }
      EXPECT_EQ(o.err[count], -1) << first << "+" << count;
      o.pos.resize(3 * count);
      o.vel.resize(3 * count);
      o.err.resize(count);
      expectAgree(sets, first, times, o, "range");
    }
  }
}

TEST(Sgp4Batch, MixedKindsBadTimesAndRangeEnds) {
  const Loaded c = load(kDir + "catalog2000.tle");
  const Loaded v = load(kDir + "SGP4-VER.TLE");
  std::vector<Sgp4Set> sets(c.sets.begin(), c.sets.begin() + 12);
  for (const Sgp4Set& s : v.sets)
    if (s.error != 0 || s.deepSpace) sets.insert(sets.begin() + 5, s);
  MeanElements bad = lines::fromLines(
      "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753",
      "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667");
  bad.eccentricity = 1.5;
  Sgp4Set failedInit;
  EXPECT_EQ(sgp4init(bad, GravConst::wgs72(), OpsMode::afspc, failedInit), kSgp4MeanElements);
  sets.push_back(failedInit);
  const Sgp4Batch b = Sgp4Batch::build(sets);
  ASSERT_GE(b.scalarIndex.size(), 3u);
  EXPECT_EQ(b.scalarIndex.back(), sets.size() - 1);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double t : {0.0, 1000.0, nan, inf, -inf}) {
    const Out o = run(b, 0, sets.size(), {t});
    expectAgree(sets, 0, {t}, o, "mixed");
    if (!std::isfinite(t)) {
      for (size_t j = 0; j < sets.size(); ++j)
        EXPECT_EQ(o.err[j], sets[j].error != 0 ? sets[j].error : kSgp4BadInput) << j;
    }
    EXPECT_EQ(o.err.back(), kSgp4MeanElements);
  }

  // A range past the end is cut; one starting past the end writes nothing.
  Out o = run(b, sets.size() - 2, 5, {10.0});
  EXPECT_EQ(o.err[2], -1);
  EXPECT_NE(o.err[1], -1);
  o = run(b, sets.size(), 3, {10.0});
  EXPECT_EQ(o.err[0], -1);
  const Sgp4Batch empty = Sgp4Batch::build({});
  o = run(empty, 0, 1, {10.0});
  EXPECT_EQ(o.err[0], -1);
}

}  // namespace
}  // namespace vx::orbix
