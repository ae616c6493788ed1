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
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Catalog.h"
#include "PlainElset.h"
#include "veltrix/tle.h"

namespace {

using vxbench::LinePair;
using vxbench::PlainElset;

int64_t setCount() {
  static const int64_t n = [] {
    const char* env = std::getenv("VX_BENCH_SETS");
    const long long v = env != nullptr ? std::atoll(env) : 0;
    return v > 0 ? static_cast<int64_t>(v) : int64_t{1000000};
  }();
  return n;
}

std::string& catalogPath() {
  static std::string path;
  return path;
}

// Whether the catalog is this run's own, to be removed at exit.
bool& catalogIsTemporary() {
  static bool temporary = false;
  return temporary;
}

const std::string& catalog() {
  std::string& path = catalogPath();
  if (path.empty()) {
    const char* keep = std::getenv("VX_BENCH_CATALOG");
    if (keep != nullptr && *keep != '\0') {
      path = keep;
      if (std::FILE* f = std::fopen(keep, "r")) {
        std::fclose(f);
        return path;
      }
    } else {
      path = "/tmp/veltrix-bench-" + std::to_string(getpid()) + "-" + std::to_string(setCount()) + ".tle";
      catalogIsTemporary() = true;
    }
    vxbench::writeCatalog(path, setCount());
  }
  return path;
}

const std::vector<LinePair>& pairs() {
  static const std::vector<LinePair> p = vxbench::generatePairs(setCount());
  return p;
}

// Bytes the heap has handed out and not had back.
size_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Time per element set, in seconds, from n sets per iteration (shown with an
// SI prefix: "850n" is 850 ns).
void perSet(benchmark::State& state, int64_t n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["s_per_set"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- Yardstick ----------------------------------------------------------------

// The key the yardstick files a set under: satellite number, then epoch.
int64_t plainKey(const PlainElset& e) {
  return int64_t{e.satNum} * 10000000000 +
         static_cast<int64_t>((static_cast<double>(e.epochYr) * 1000.0 + e.epochDays) * 1e5);
}

using PlainMap = std::map<int64_t, PlainElset>;

PlainMap& plainMap() {
  static PlainMap m;
  return m;
}

// Reads the file line by line, parses each pair, files it; the number of
// sets filed.
int64_t loadPlain(const std::string& path, PlainMap& into) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return -1;
  char l1[600], l2[600];
  PlainElset e;
  int64_t n = 0;
  while (std::fgets(l1, sizeof l1, f) != nullptr) {
    if (l1[0] != '1') continue;
    if (std::fgets(l2, sizeof l2, f) == nullptr) break;
    if (!vxbench::parsePlain(std::string_view(l1, std::strlen(l1)), std::string_view(l2, std::strlen(l2)), e)) continue;
    if (into.emplace(plainKey(e), e).second) ++n;
  }
  std::fclose(f);
  return n;
}

void BM_Baseline_LoadFileToMap(benchmark::State& state) {
  const std::string& path = catalog();
  const int64_t n = setCount();
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    plainMap().clear();
    const size_t before = heapInUse();
    state.ResumeTiming();
    const int64_t got = loadPlain(path, plainMap());
    state.PauseTiming();
    bytes = static_cast<double>(heapInUse() - before) / static_cast<double>(n);
    if (got != n) state.SkipWithError("the yardstick did not file every set");
    state.ResumeTiming();
  }
  perSet(state, n);
  state.counters["heap_bytes_per_set"] = bytes;
}

template <class Keys>
std::vector<int64_t> shuffled(Keys keys) {
  std::vector<int64_t> v(keys.begin(), keys.end());
  std::shuffle(v.begin(), v.end(), std::mt19937_64(42));
  return v;
}

void BM_Baseline_MapFind(benchmark::State& state) {
  if (plainMap().size() != static_cast<size_t>(setCount())) loadPlain(catalog(), plainMap());
  std::vector<int64_t> keys;
  for (const auto& kv : plainMap()) keys.push_back(kv.first);
  keys = shuffled(keys);
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    const auto it = plainMap().find(keys[i]);
    if (it == plainMap().end()) ++missing;
    benchmark::DoNotOptimize(it->second.mnMotion);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("a key went missing");
  perSet(state, 1);
  // The store's benchmarks come next; the map has served its purpose.
  PlainMap().swap(plainMap());
}

// ---- The store ------------------------------------------------------------------

// Loads the catalog unless the store already holds exactly its sets.
bool ensureLoaded() {
  const int64_t n = setCount();
  if (TleGetCount() == n) return true;
  TleRemoveAllSats();
  return TleLoadFile(catalog().c_str()) == 0 && TleGetCount() == n;
}

// Every loaded key, in random order.
const std::vector<int64_t>& randomKeys() {
  static std::vector<int64_t> keys;
  if (keys.size() != static_cast<size_t>(TleGetCount())) {
    std::vector<int64_t> k(static_cast<size_t>(TleGetCount()));
    TleGetLoaded(9, k.data());
    keys = shuffled(k);
  }
  return keys;
}

void BM_TleLoadFile(benchmark::State& state) {
  const std::string& path = catalog();
  const int64_t n = setCount();
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TleRemoveAllSats();
    const size_t before = heapInUse();
    state.ResumeTiming();
    const int32_t rc = TleLoadFile(path.c_str());
    state.PauseTiming();
    bytes = static_cast<double>(heapInUse() - before) / static_cast<double>(n);
    if (rc != 0 || TleGetCount() != n) state.SkipWithError("TleLoadFile did not load every set");
    state.ResumeTiming();
  }
  perSet(state, n);
  state.counters["heap_bytes_per_set"] = bytes;
}

void BM_TleGetLines(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the catalog");
    return;
  }
  const auto& keys = randomKeys();
  char l1[512], l2[512];
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    if (TleGetLines(keys[i], l1, l2) != 0) ++missing;
    benchmark::DoNotOptimize(l1);
    benchmark::DoNotOptimize(l2);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("TleGetLines missed a loaded key");
  perSet(state, 1);
}

// Argument: the field index (1 satellite number, 4 epoch, 12 mean anomaly).
void BM_TleGetField(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the catalog");
    return;
  }
  const auto field = static_cast<int32_t>(state.range(0));
  const auto& keys = randomKeys();
  char value[512];
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    if (TleGetField(keys[i], field, value) != 0) ++missing;
    benchmark::DoNotOptimize(value);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("TleGetField missed a loaded key");
  perSet(state, 1);
}

// The key of a satellite by its number, the lookup hosts make most: numbers
// of random loaded sets, so most satellites have several sets.
void BM_TleGetSatKey(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the catalog");
    return;
  }
  const auto& keys = randomKeys();
  std::vector<int32_t> nums;
  char value[512];
  for (size_t i = 0; i < keys.size() && i < 4096; ++i) {
    if (TleGetField(keys[i], 1, value) != 0) continue;
    nums.push_back(std::atoi(value));
  }
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    const int64_t key = TleGetSatKey(nums[i]);
    if (key <= 0) ++missing;
    benchmark::DoNotOptimize(key);
    if (++i == nums.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("TleGetSatKey missed a loaded satellite");
  perSet(state, 1);
}

// The count a host asks for before it lists the keys. Time per stored set.
void BM_TleGetCount(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the catalog");
    return;
  }
  int32_t n = 0;
  for (auto _ : state) {
    n = TleGetCount();
    benchmark::DoNotOptimize(n);
  }
  perSet(state, n);
}

// Argument: the order (0 satellite number, ephemeris type, epoch; 1 the
// reverse; 2 load order; 9 ascending key). Time per listed key.
void BM_TleGetLoaded(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the catalog");
    return;
  }
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
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (catalogIsTemporary()) std::remove(catalogPath().c_str());
  return 0;
}
