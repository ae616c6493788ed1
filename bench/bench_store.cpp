// The TLE store at scale, through the public C interface only: loading a
// file of a million element sets (1,000,000 pairs over 50,000 satellites),
// finding by key, listing the keys in each order, adding one pair at a time,
// and the heap each stored element set costs. The yardstick reads the same
// file with a bare fixed-column parser into a std::map.
//
// The catalog is generated into /tmp when first needed and removed at exit.
// VX_BENCH_SETS=n changes the number of element sets (for profiling runs);
// VX_BENCH_CATALOG=path reads the catalog from path, writing it there first
// if it does not exist, and keeps it (so a profile shows only the library).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Catalog.h"
#include "PlainElset.h"
#include "StoreBench.h"
#include "veltrix/tle.h"

namespace {

using vxbench::LinePair;
using vxbench::perSet;
using vxbench::PlainElset;
using vxbench::setCount;

vxbench::DataFile& catalogFile() {
  static vxbench::DataFile file("VX_BENCH_CATALOG", ".tle", vxbench::writeCatalog);
  return file;
}

const std::string& catalog() { return catalogFile().path(); }

// Field 1 is the satellite number.
const vxbench::StoreApi kTle = {"Tle",       "set",       "catalog",        &catalogFile(),
                                TleLoadFile, TleGetCount, TleRemoveAllSats, TleGetLoadedN,
                                TleGetLines, TleGetField, TleGetSatKey,     1};

const std::vector<LinePair>& pairs() {
  static const std::vector<LinePair> p = vxbench::generatePairs(setCount());
  return p;
}

// ---- Yardstick ----------------------------------------------------------------

// The key the yardstick files a set under: satellite number, then epoch.
int64_t plainKey(const PlainElset& e) {
  return int64_t{e.satNum} * 10000000000 +
         static_cast<int64_t>((static_cast<double>(e.epochYr) * 1000.0 + e.epochDays) * 1e5);
}

vxbench::Yardstick<PlainElset> yardstick{
    [](const char* line) { return line[0] != '1'; }, vxbench::parsePlain, plainKey, {}};

void BM_Baseline_LoadFileToMap(benchmark::State& state) { vxbench::yardstickLoad(state, yardstick, catalog(), "set"); }

void BM_Baseline_MapFind(benchmark::State& state) {
  vxbench::yardstickFind(state, yardstick, catalog(),
                         [](const PlainElset& e) { benchmark::DoNotOptimize(e.mnMotion); });
}

// ---- The store ------------------------------------------------------------------

void BM_TleLoadFile(benchmark::State& state) { vxbench::storeLoadFile(state, kTle); }

void BM_TleGetLines(benchmark::State& state) { vxbench::storeGetLines(state, kTle); }

// Argument: the field index (1 satellite number, 4 epoch, 12 mean anomaly).
void BM_TleGetField(benchmark::State& state) { vxbench::storeGetField(state, kTle); }

void BM_TleGetSatKey(benchmark::State& state) { vxbench::storeGetSatKey(state, kTle); }

void BM_TleGetCount(benchmark::State& state) { vxbench::storeGetCount(state, kTle); }

// Argument: the order (0 satellite number, ephemeris type, epoch; 1 the
// reverse; 2 load order; 9 ascending key). Time per listed key.
void BM_TleGetLoaded(benchmark::State& state) {
  if (!vxbench::loadedOrSkip(state, kTle)) return;
  const auto order = static_cast<int32_t>(state.range(0));
  const int32_t n = TleGetCount();
  std::vector<int64_t> keys(static_cast<size_t>(n));
  for (auto _ : state) {
    TleGetLoaded(order, keys.data());
    benchmark::DoNotOptimize(keys.data());
  }
  if (order == 9 && !std::is_sorted(keys.begin(), keys.end())) state.SkipWithError("order 9 is not ascending");
  perSet(state, n);
}

// Every pair added one call at a time, into an empty store.
void BM_TleAddSatFrLines(benchmark::State& state) {
  const auto& p = pairs();
  const int64_t n = static_cast<int64_t>(p.size());
  for (auto _ : state) {
    state.PauseTiming();
    TleRemoveAllSats();
    state.ResumeTiming();
    int64_t failed = 0;
    for (const LinePair& pair : p)
      if (TleAddSatFrLines(pair.l1, pair.l2) <= 0) ++failed;
    if (failed != 0) state.SkipWithError("TleAddSatFrLines refused a generated pair");
  }
  perSet(state, n);
}

BENCHMARK(BM_Baseline_LoadFileToMap)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_MapFind);
BENCHMARK(BM_TleLoadFile)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TleGetLines);
BENCHMARK(BM_TleGetField)->Arg(1)->Arg(4)->Arg(12);
BENCHMARK(BM_TleGetSatKey);
BENCHMARK(BM_TleGetCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TleGetLoaded)->Arg(0)->Arg(1)->Arg(2)->Arg(9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TleAddSatFrLines)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return vxbench::runBenchmarks(argc, argv, [] { catalogFile().removeIfTemporary(); });
}
