// Propagation rates of the orbit model: the batch kernel on a catalog's
// near-Earth sets, on its deep-space sets and on the whole mix, the scalar
// path on the near-Earth sets, and initialisation. Every set is propagated
// to 1,440 times, one minute apart over a day from its epoch;
// items_per_second counts propagations (one set at one time). The batch
// runs take ranges of sets (the argument: sets per range), each range
// through all times before the next; 1 << 20 is the whole catalog at once.
//
// The catalog is 100,000 generated sets (Catalog.h), or the two-line file
// named by VX_SGP4_CATALOG (for instance one written by gen_catalog.py);
// VX_BENCH_SETS=n generates n sets instead.
//
// From the store, through the C interface: BM_StoreSnapshot makes a
// snapshot of a store of 1M generated sets (items: sets), BM_StoreToOneTime
// propagates that snapshot to one ds50 time on one host thread or on two,
// each on its own half (items: propagations, wall time).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Catalog.h"
#include "Platform/orbix/ElementLines.h"
#include "Platform/orbix/Sgp4.h"
#include "Platform/orbix/Sgp4Batch.h"
#include "veltrix/orbix.h"
#include "veltrix/tle.h"

namespace {

using namespace vx::orbix;

constexpr int kTimes = 1440;

std::vector<MeanElements> catalogElements() {
  std::vector<MeanElements> out;
  if (const char* path = std::getenv("VX_SGP4_CATALOG")) {
    std::ifstream in(path);
    std::string l1, l2;
    while (std::getline(in, l1) && std::getline(in, l2)) out.push_back(lines::fromLines(l1, l2));
    return out;
  }
  size_t count = 100000;
  if (const char* n = std::getenv("VX_BENCH_SETS")) count = std::strtoul(n, nullptr, 10);
  for (const vxbench::LinePair& p : vxbench::generatePairs(count))
    out.push_back(lines::fromLines(p.line1(), p.line2()));
  return out;
}

struct Catalog {
  std::vector<MeanElements> elements;
  std::vector<Sgp4Set> all, nearEarth, deepSpace;
};

const Catalog& catalog() {
  static const Catalog c = [] {
    Catalog k;
    k.elements = catalogElements();
    for (const MeanElements& e : k.elements) {
      Sgp4Set s;
      sgp4init(e, GravConst::wgs72(), OpsMode::afspc, s);
      k.all.push_back(s);
      if (s.error == 0) (s.deepSpace ? k.deepSpace : k.nearEarth).push_back(s);
    }
    return k;
  }();
  return c;
}

void batchRun(benchmark::State& state, const std::vector<Sgp4Set>& sets) {
  const Sgp4Batch b = Sgp4Batch::build(sets);
  const size_t n = sets.size();
  std::vector<double> pos(3 * n), vel(3 * n);
  std::vector<int32_t> err(n);
  // As a host splits its work: ranges of sets small enough that their
  // values stay in the core's cache over all times.
  const auto chunk = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    for (size_t first = 0; first < n; first += chunk)
      for (int k = 0; k < kTimes; ++k)
        propagateBatchAt(b, first, chunk, static_cast<double>(k), pos.data() + 3 * first,
                         vel.data() + 3 * first, err.data() + first);
    benchmark::DoNotOptimize(pos.data());
    benchmark::ClobberMemory();
  }
  state.counters["sets"] = static_cast<double>(n);
  state.SetItemsProcessed(state.iterations() * kTimes * static_cast<int64_t>(n));
}

void BM_BatchNearEarth(benchmark::State& state) { batchRun(state, catalog().nearEarth); }
void BM_BatchDeepSpace(benchmark::State& state) { batchRun(state, catalog().deepSpace); }
void BM_BatchCatalogMix(benchmark::State& state) { batchRun(state, catalog().all); }

void BM_ScalarNearEarth(benchmark::State& state) {
  const std::vector<Sgp4Set>& sets = catalog().nearEarth;
  double r[3], v[3];
  for (auto _ : state) {
    for (int k = 0; k < kTimes; ++k) {
      for (const Sgp4Set& s : sets) {
        sgp4(s, static_cast<double>(k), r, v);
        benchmark::DoNotOptimize(r);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kTimes * static_cast<int64_t>(sets.size()));
}

// The same propagations with each set through all its times in turn, as a
// host asking for one set at many times: the set stays in the core's cache,
// where the loop above reads every set of the catalog from memory once per time.
void BM_ScalarNearEarthPerSet(benchmark::State& state) {
  const std::vector<Sgp4Set>& sets = catalog().nearEarth;
  double r[3], v[3];
  for (auto _ : state) {
    for (const Sgp4Set& s : sets) {
      for (int k = 0; k < kTimes; ++k) {
        sgp4(s, static_cast<double>(k), r, v);
        benchmark::DoNotOptimize(r);
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kTimes * static_cast<int64_t>(sets.size()));
}

void BM_Sgp4Init(benchmark::State& state) {
  const std::vector<MeanElements>& el = catalog().elements;
  Sgp4Set s;
  for (auto _ : state) {
    for (const MeanElements& e : el) {
      sgp4init(e, GravConst::wgs72(), OpsMode::afspc, s);
      benchmark::DoNotOptimize(s);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(el.size()));
}

void BM_BatchBuild(benchmark::State& state) {
  const std::vector<Sgp4Set>& sets = catalog().all;
  for (auto _ : state) benchmark::DoNotOptimize(Sgp4Batch::build(sets));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(sets.size()));
}

BENCHMARK(BM_BatchNearEarth)->Arg(256)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BatchDeepSpace)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_BatchCatalogMix)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScalarNearEarth)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ScalarNearEarthPerSet)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Sgp4Init)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchBuild)->Unit(benchmark::kMillisecond);

constexpr int64_t kStoreSets = 1000000;

// The store filled once with kStoreSets generated sets.
void fillStore() {
  static const bool filled = [] {
    const std::string path = "/tmp/vx_bench_sgp4_store.tle";
    vxbench::writeCatalog(path, kStoreSets);
    std::string name(512, ' ');
    name.replace(0, path.size(), path);
    TleRemoveAllSats();
    const int32_t rc = TleLoadFile(name.c_str());
    std::remove(path.c_str());
    return rc == 0;
  }();
  if (!filled) std::abort();
}

void BM_StoreSnapshot(benchmark::State& state) {
  fillStore();
  int32_t status = -1;
  for (auto _ : state) {
    OrbixSnapshot* s = TleSnapshot(nullptr, 0, 0, 'i', &status);
    benchmark::DoNotOptimize(s);
    OrbixSnapshotFree(s);
  }
  state.counters["sets"] = static_cast<double>(TleGetCount());
  state.SetItemsProcessed(state.iterations() * TleGetCount());
}

void BM_StoreToOneTime(benchmark::State& state) {
  // Made once by the first thread, kept for every run (a read-only
  // snapshot is shared by the threads).
  static std::atomic<OrbixSnapshot*> shared{nullptr};
  if (state.thread_index() == 0 && shared.load() == nullptr) {
    fillStore();
    int32_t status = -1;
    shared.store(TleSnapshot(nullptr, 0, 0, 'i', &status));
  }
  while (shared.load() == nullptr) std::this_thread::yield();
  const OrbixSnapshot* snap = shared.load();
  const int32_t n = OrbixSnapshotCount(snap);
  const auto threads = static_cast<int32_t>(state.threads());
  const int32_t first = n / threads * static_cast<int32_t>(state.thread_index());
  const int32_t count = state.thread_index() + 1 == state.threads() ? n - first : n / threads;
  std::vector<double> pos(3 * static_cast<size_t>(count)), vel(pos.size());
  std::vector<int32_t> err(static_cast<size_t>(count));
  // Arg 1: ds50 2018 Mar 1, within weeks of the sets' epochs (the
  // resonant deep-space sets integrate over those weeks); arg 0: 60 minutes
  // after each set's own epoch.
  const bool ds50 = state.range(0) == 1;
  const double t = ds50 ? 24897.0 : 60.0;
  for (auto _ : state) {
    OrbixPropagate(snap, first, count, &t, 1, ds50 ? ORBIX_TIME_DS50 : ORBIX_TIME_SINCE_EPOCH, ORBIX_LAYOUT_OUTER,
                   pos.data(), vel.data(), err.data());
    benchmark::DoNotOptimize(pos.data());
  }
  state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_StoreSnapshot)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreToOneTime)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(1)->Threads(2);

}  // namespace

BENCHMARK_MAIN();
