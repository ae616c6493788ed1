// The harness the store benchmarks share, and the benchmarks that time one
// store's exported calls the same way whichever store it is: loading the
// whole data file (with the heap it keeps per set), fetching cards and
// fields by random key, finding a satellite's key by its number, counting.
// The yardstick, the same file read by a bare parser into a std::map, is
// timed the same way over a parser of each file's own.
//
// The data file is generated into /tmp when first needed and removed at
// exit. VX_BENCH_SETS=n changes the number of sets (for profiling runs); the
// file's own variable (VX_BENCH_CATALOG, VX_BENCH_VECTORS) names a path to
// read it from instead, writing it there first if it does not exist, and
// keeps it (so a profile shows only the library).
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vxbench {

// Sets in the data file: VX_BENCH_SETS, a million by default.
inline int64_t setCount() {
  static const int64_t n = [] {
    const char* env = std::getenv("VX_BENCH_SETS");
    const long long v = env != nullptr ? std::atoll(env) : 0;
    return v > 0 ? static_cast<int64_t>(v) : int64_t{1000000};
  }();
  return n;
}

// The generated file a run reads, made when first asked for.
class DataFile {
 public:
  using Writer = void (*)(const std::string& path, int64_t n, int64_t sats);

  // keepVar: the variable naming a path to keep the file at; suffix: the
  // temporary file's extension; write: writes n sets to a path.
  DataFile(const char* keepVar, const char* suffix, Writer write) : keepVar_(keepVar), suffix_(suffix), write_(write) {}

  const std::string& path() {
    if (path_.empty()) {
      const char* keep = std::getenv(keepVar_);
      if (keep != nullptr && *keep != '\0') {
        path_ = keep;
        if (std::FILE* f = std::fopen(keep, "r")) {
          std::fclose(f);
          return path_;
        }
      } else {
        path_ = "/tmp/veltrix-bench-" + std::to_string(getpid()) + "-" + std::to_string(setCount()) + suffix_;
        temporary_ = true;
      }
      write_(path_, setCount(), 0);
    }
    return path_;
  }

  // Removes the file if it is this run's own.
  void removeIfTemporary() const {
    if (temporary_) std::remove(path_.c_str());
  }

 private:
  const char* keepVar_;
  const char* suffix_;
  Writer write_;
  std::string path_;
  bool temporary_ = false;
};

// Runs the benchmarks the command line asks for, then cleanup() (the
// generated files of the run). The result of main.
template <class Cleanup>
int runBenchmarks(int argc, char** argv, Cleanup&& cleanup) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  cleanup();
  return 0;
}

// Bytes the heap has handed out and not had back.
inline size_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Time per set, in seconds, from n sets per iteration (shown with an SI
// prefix: "850n" is 850 ns).
inline void perSet(benchmark::State& state, int64_t n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["s_per_set"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <class Keys>
std::vector<int64_t> shuffled(Keys keys) {
  std::vector<int64_t> v(keys.begin(), keys.end());
  std::shuffle(v.begin(), v.end(), std::mt19937_64(42));
  return v;
}

// ---- Yardstick ----------------------------------------------------------------

// The same file read with a bare fixed-column parser into a std::map, keyed
// by satellite number and epoch.
template <class Value>
struct Yardstick {
  bool (*skipLine)(const char* line);  // a line that does not start a set
  bool (*parse)(std::string_view line1, std::string_view line2, Value& into);
  int64_t (*key)(const Value& v);
  std::map<int64_t, Value> map;

  // Reads the file line by line, parses each set, files it; the number of
  // sets filed.
  int64_t load(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return -1;
    char l1[600], l2[600];
    Value v;
    int64_t n = 0;
    while (std::fgets(l1, sizeof l1, f) != nullptr) {
      if (skipLine(l1)) continue;
      if (std::fgets(l2, sizeof l2, f) == nullptr) break;
      if (!parse(std::string_view(l1, std::strlen(l1)), std::string_view(l2, std::strlen(l2)), v)) continue;
      if (map.emplace(key(v), v).second) ++n;
    }
    std::fclose(f);
    return n;
  }
};

// The whole file into an empty map; heap_bytes_per_set as for the store.
template <class Value>
void yardstickLoad(benchmark::State& state, Yardstick<Value>& y, const std::string& path, const char* unit) {
  const int64_t n = setCount();
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    y.map.clear();
    const size_t before = heapInUse();
    state.ResumeTiming();
    const int64_t got = y.load(path);
    state.PauseTiming();
    bytes = static_cast<double>(heapInUse() - before) / static_cast<double>(n);
    if (got != n) state.SkipWithError((std::string("the yardstick did not file every ") + unit).c_str());
    state.ResumeTiming();
  }
  perSet(state, n);
  state.counters["heap_bytes_per_set"] = bytes;
}

// Random keys found in the map; touch(value) reads a field of what is
// found. Frees the map afterwards: the store's benchmarks come next.
template <class Value, class Touch>
void yardstickFind(benchmark::State& state, Yardstick<Value>& y, const std::string& path, Touch touch) {
  if (y.map.size() != static_cast<size_t>(setCount())) y.load(path);
  std::vector<int64_t> keys;
  for (const auto& kv : y.map) keys.push_back(kv.first);
  keys = shuffled(keys);
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    const auto it = y.map.find(keys[i]);
    if (it == y.map.end()) ++missing;
    touch(it->second);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("a key went missing");
  perSet(state, 1);
  std::map<int64_t, Value>().swap(y.map);
}

// ---- The store ------------------------------------------------------------------

// One store's exported calls, and the words its messages use.
struct StoreApi {
  const char* prefix;    // of the exported names: "Tle", "Kinem"
  const char* unit;      // what the file holds: "set", "vector"
  const char* fileWhat;  // what the file is: "catalog", "vector file"
  DataFile* file;
  int32_t (*loadFile)(const char* path);
  int32_t (*getCount)();
  int32_t (*removeAllSats)();
  int32_t (*getLoadedN)(int32_t order, int32_t capacity, int64_t* satKeys, int32_t* total);
  int32_t (*getLines)(int64_t satKey, char* line1, char* line2);
  int32_t (*getField)(int64_t satKey, int32_t fieldIdx, char* valueStr);
  int64_t (*getSatKey)(int32_t satNum);
  int32_t satNumField;  // the field index of the satellite number
};

// "<prefix><call> <what>", as a benchmark's error text.
inline std::string storeMessage(const StoreApi& api, const char* call, const std::string& what) {
  return std::string(api.prefix) + call + " " + what;
}

// Loads the data file unless the store already holds exactly its sets.
inline bool ensureLoaded(const StoreApi& api) {
  const int64_t n = setCount();
  if (api.getCount() == n) return true;
  api.removeAllSats();
  return api.loadFile(api.file->path().c_str()) == 0 && api.getCount() == n;
}

// Same, stopping the benchmark with an error when the file does not load.
inline bool loadedOrSkip(benchmark::State& state, const StoreApi& api) {
  if (ensureLoaded(api)) return true;
  state.SkipWithError((std::string("cannot load the ") + api.fileWhat).c_str());
  return false;
}

// Every loaded key, in random order.
inline const std::vector<int64_t>& randomKeys(const StoreApi& api) {
  static std::vector<int64_t> keys;
  if (keys.size() != static_cast<size_t>(api.getCount())) {
    std::vector<int64_t> k(static_cast<size_t>(api.getCount()));
    const int32_t got = api.getLoadedN(9, static_cast<int32_t>(k.size()), k.data(), nullptr);
    k.resize(static_cast<size_t>(std::max(got, 0)));
    keys = shuffled(k);
  }
  return keys;
}

// The whole file loaded into an empty store; heap_bytes_per_set is the heap
// the load keeps per set.
inline void storeLoadFile(benchmark::State& state, const StoreApi& api) {
  const std::string& path = api.file->path();
  const int64_t n = setCount();
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    api.removeAllSats();
    const size_t before = heapInUse();
    state.ResumeTiming();
    const int32_t rc = api.loadFile(path.c_str());
    state.PauseTiming();
    bytes = static_cast<double>(heapInUse() - before) / static_cast<double>(n);
    if (rc != 0 || api.getCount() != n)
      state.SkipWithError(storeMessage(api, "LoadFile", std::string("did not load every ") + api.unit).c_str());
    state.ResumeTiming();
  }
  perSet(state, n);
  state.counters["heap_bytes_per_set"] = bytes;
}

// Both lines of random loaded keys.
inline void storeGetLines(benchmark::State& state, const StoreApi& api) {
  if (!loadedOrSkip(state, api)) return;
  const auto& keys = randomKeys(api);
  char l1[512], l2[512];
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    if (api.getLines(keys[i], l1, l2) != 0) ++missing;
    benchmark::DoNotOptimize(l1);
    benchmark::DoNotOptimize(l2);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError(storeMessage(api, "GetLines", "missed a loaded key").c_str());
  perSet(state, 1);
}

// One field of random loaded keys; the argument is the field index.
inline void storeGetField(benchmark::State& state, const StoreApi& api) {
  if (!loadedOrSkip(state, api)) return;
  const auto field = static_cast<int32_t>(state.range(0));
  const auto& keys = randomKeys(api);
  char value[512];
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    if (api.getField(keys[i], field, value) != 0) ++missing;
    benchmark::DoNotOptimize(value);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError(storeMessage(api, "GetField", "missed a loaded key").c_str());
  perSet(state, 1);
}

// The key of a satellite by its number, the lookup hosts make most: numbers
// of random loaded sets, so most satellites asked for have several.
inline void storeGetSatKey(benchmark::State& state, const StoreApi& api) {
  if (!loadedOrSkip(state, api)) return;
  const auto& keys = randomKeys(api);
  std::vector<int32_t> nums;
  char value[513];
  for (size_t i = 0; i < keys.size() && i < 4096; ++i) {
    if (api.getField(keys[i], api.satNumField, value) != 0) continue;
    value[512] = '\0';
    nums.push_back(std::atoi(value));
  }
  if (nums.empty()) {
    state.SkipWithError("no satellite numbers");
    return;
  }
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    const int64_t key = api.getSatKey(nums[i]);
    if (key <= 0) ++missing;
    benchmark::DoNotOptimize(key);
    if (++i == nums.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError(storeMessage(api, "GetSatKey", "missed a loaded satellite").c_str());
  perSet(state, 1);
}

// The count a host asks for before it lists the keys. Time per stored set.
inline void storeGetCount(benchmark::State& state, const StoreApi& api) {
  if (!loadedOrSkip(state, api)) return;
  int32_t n = 0;
  for (auto _ : state) {
    n = api.getCount();
    benchmark::DoNotOptimize(n);
  }
  perSet(state, n);
}

}  // namespace vxbench
