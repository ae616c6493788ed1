// Throughput of the text formats, one element set per iteration over 100,000
// generated pairs taken in turn: the two-line and CSV parsers and writers of
// the TLE library, two exported conversions, and a bare fixed-column parser
// as the yardstick.
//
// The internal routines get their lines as the library always does, blank
// padded to 512; each iteration copies its pair into those buffers (two
// 69-byte copies, a few nanoseconds). The exported functions get the 69
// characters and a NUL, as a C host would pass them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "Catalog.h"
#include "PlainElset.h"
#include "Tle/TleCardReading.h"
#include "Tle/TleTree.h"
#include "veltrix/tle.h"

namespace {

using vx::tle::kLineLen;
using vx::tle::Tlerecord;
using vxbench::LinePair;

constexpr int64_t kPairs = 100000;

struct Data {
  std::vector<LinePair> pairs;
  std::vector<Tlerecord> recs;
  std::vector<std::string> csv;  // CSV lines without their trailing blanks
};

// Two host buffers of 512, blank, that the pairs are copied into.
struct Padded {
  char l1[kLineLen], l2[kLineLen];
  Padded() {
    std::memset(l1, ' ', kLineLen);
    std::memset(l2, ' ', kLineLen);
  }
  void set(const LinePair& p) {
    std::memcpy(l1, p.l1, 69);
    std::memcpy(l2, p.l2, 69);
  }
  std::string_view v1() const { return {l1, kLineLen}; }
  std::string_view v2() const { return {l2, kLineLen}; }
};

// The yardstick must read what the library reads, or the comparison means
// nothing: every field of every generated pair is compared.
void checkBaseline(const LinePair& p, const Tlerecord& r) {
  vxbench::PlainElset e;
  const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-12 * std::max(1.0, std::fabs(b)); };
  const bool same = vxbench::parsePlain(p.line1(), p.line2(), e) && e.satNum == r.satNum && e.secClass == r.secClass &&
                    e.elsetNum == r.elsetNum && e.revNum == r.revNum && e.ephType == r.ephType &&
                    near(e.epochDays, r.epochDays) && near(e.nDotO2, r.nDotO2) && near(e.n2DotO6, r.n2DotO6) &&
                    near(e.bStar, r.bStar) && near(e.incli, r.incli) && near(e.raNode, r.raNode) &&
                    near(e.eccen, r.eccen) && near(e.argPer, r.argPer) && near(e.mnAnomaly, r.mnAnomaly) &&
                    near(e.mnMotion, r.mnMotion);
  if (!same) throw std::runtime_error("baseline and lines2tle disagree on " + std::string(p.line1()));
}

const Data& data() {
  static const Data d = [] {
    Data x;
    x.pairs = vxbench::generatePairs(kPairs);
    x.recs.resize(x.pairs.size());
    x.csv.resize(x.pairs.size());
    char csv[kLineLen];
    Padded in;
    for (size_t i = 0; i < x.pairs.size(); ++i) {
      in.set(x.pairs[i]);
      if (vx::tle::lines2tle(in.v1(), in.v2(), x.recs[i]) != 0)
        throw std::runtime_error("generated pair does not parse: " + std::string(x.pairs[i].line1()));
      checkBaseline(x.pairs[i], x.recs[i]);
      vx::tle::tle2csv(x.recs[i], csv);
      std::string_view s(csv, kLineLen);
      s = s.substr(0, s.find_last_not_of(' ') + 1);
      if (s.empty()) throw std::runtime_error("no CSV line written for " + std::string(x.pairs[i].line1()));
      x.csv[i].assign(s);
    }
    return x;
  }();
  return d;
}

// Time per element set, in seconds (shown with an SI prefix: "190n" is
// 190 ns).
void perSet(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations());
  state.counters["s_per_set"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Baseline_PlainParse(benchmark::State& state) {
  const auto& d = data();
  size_t i = 0, bad = 0;
  vxbench::PlainElset e;
  for (auto _ : state) {
    const LinePair& p = d.pairs[i];
    if (!vxbench::parsePlain(p.line1(), p.line2(), e)) ++bad;
    benchmark::DoNotOptimize(e);
    if (++i == d.pairs.size()) i = 0;
  }
  if (bad != 0) state.SkipWithError("baseline rejected a generated pair");
  perSet(state);
}

void BM_lines2tle(benchmark::State& state) {
  const auto& d = data();
  Padded in;
  Tlerecord rec;
  size_t i = 0, bad = 0;
  for (auto _ : state) {
    in.set(d.pairs[i]);
    if (vx::tle::lines2tle(in.v1(), in.v2(), rec) != 0) ++bad;
    benchmark::DoNotOptimize(rec);
    if (++i == d.pairs.size()) i = 0;
  }
  if (bad != 0) state.SkipWithError("lines2tle rejected a generated pair");
  perSet(state);
}

void BM_tle2lines(benchmark::State& state) {
  const auto& d = data();
  char l1[kLineLen], l2[kLineLen];
  size_t i = 0;
  for (auto _ : state) {
    vx::tle::tle2lines(d.recs[i], l1, l2);
    benchmark::DoNotOptimize(l1);
    benchmark::DoNotOptimize(l2);
    if (++i == d.recs.size()) i = 0;
  }
  if (l1[0] != '1' || l2[0] != '2') state.SkipWithError("tle2lines wrote no lines");
  perSet(state);
}

void BM_csvline2tle(benchmark::State& state) {
  const auto& d = data();
  char line[kLineLen];
  std::memset(line, ' ', kLineLen);
  size_t i = 0, bad = 0, prevLen = 0;
  Tlerecord rec;
  for (auto _ : state) {
    const std::string& s = d.csv[i];
    std::memcpy(line, s.data(), s.size());
    if (prevLen > s.size()) std::memset(line + s.size(), ' ', prevLen - s.size());
    prevLen = s.size();
    if (vx::tle::csvline2tle(std::string_view(line, kLineLen), rec) != 0) ++bad;
    benchmark::DoNotOptimize(rec);
    if (++i == d.csv.size()) i = 0;
  }
  if (bad != 0) state.SkipWithError("csvline2tle rejected a generated line");
  perSet(state);
}

void BM_tle2csv(benchmark::State& state) {
  const auto& d = data();
  char csv[kLineLen];
  size_t i = 0;
  for (auto _ : state) {
    vx::tle::tle2csv(d.recs[i], csv);
    benchmark::DoNotOptimize(csv);
    if (++i == d.recs.size()) i = 0;
  }
  if (csv[0] == ' ' && csv[1] == ' ') state.SkipWithError("tle2csv wrote no line");
  perSet(state);
}

void BM_TleLinesToCsv(benchmark::State& state) {
  const auto& d = data();
  char csv[kLineLen];
  size_t i = 0, bad = 0;
  for (auto _ : state) {
    if (TleLinesToCsv(d.pairs[i].l1, d.pairs[i].l2, csv) != 0) ++bad;
    benchmark::DoNotOptimize(csv);
    if (++i == d.pairs.size()) i = 0;
  }
  if (bad != 0) state.SkipWithError("TleLinesToCsv rejected a generated pair");
  perSet(state);
}

void BM_TleParseGP(benchmark::State& state) {
  const auto& d = data();
  int32_t satNum = 0, epochYr = 0, ephType = 0, elsetNum = 0, revNum = 0;
  char secClass = ' ', satName[8];
  double epochDays = 0, nDotO2 = 0, n2DotO6 = 0, bStar = 0, incli = 0, raNode = 0, eccen = 0, argPer = 0, mnAnomaly = 0,
         mnMotion = 0;
  size_t i = 0, bad = 0;
  for (auto _ : state) {
    if (TleParseGP(d.pairs[i].l1, d.pairs[i].l2, &satNum, &secClass, satName, &epochYr, &epochDays, &nDotO2, &n2DotO6,
                   &bStar, &ephType, &elsetNum, &incli, &raNode, &eccen, &argPer, &mnAnomaly, &mnMotion, &revNum) != 0)
      ++bad;
    benchmark::DoNotOptimize(mnMotion);
    benchmark::ClobberMemory();
    if (++i == d.pairs.size()) i = 0;
  }
  if (bad != 0) state.SkipWithError("TleParseGP rejected a generated pair");
  perSet(state);
}

BENCHMARK(BM_Baseline_PlainParse);
BENCHMARK(BM_lines2tle);
BENCHMARK(BM_tle2lines);
BENCHMARK(BM_csvline2tle);
BENCHMARK(BM_tle2csv);
BENCHMARK(BM_TleLinesToCsv);
BENCHMARK(BM_TleParseGP);

}  // namespace

BENCHMARK_MAIN();
