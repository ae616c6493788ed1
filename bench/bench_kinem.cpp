// The state-vector store at scale, through the public C interface only:
// loading a file of a million vectors (1,000,000 card sets over 50,000
// satellites), fetching cards and fields by key, finding a satellite's key
// by its number, counting, and the heap each stored vector costs. The
// yardstick reads the same file with a bare fixed-column parser into a
// std::map.
//
// The vector file is generated into /tmp when first needed and removed at
// exit. VX_BENCH_SETS=n changes the number of vectors (for profiling runs);
// VX_BENCH_VECTORS=path reads the file from path, writing it there first if
// it does not exist, and keeps it (so a profile shows only the library).
// Before any timing, a spread of generated card sets is added through the
// library and read back: each must load and come back as the same cards, or
// the run stops.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "Vectors.h"
#include "veltrix/kernix.h"
#include "veltrix/kinem.h"

namespace {

using vxbench::kCardCols;

int64_t setCount() {
  static const int64_t n = [] {
    const char* env = std::getenv("VX_BENCH_SETS");
    const long long v = env != nullptr ? std::atoll(env) : 0;
    return v > 0 ? static_cast<int64_t>(v) : int64_t{1000000};
  }();
  return n;
}

std::string& vectorPath() {
  static std::string path;
  return path;
}

// Whether the vector file is this run's own, to be removed at exit.
bool& vectorFileIsTemporary() {
  static bool temporary = false;
  return temporary;
}

const std::string& vectorFile() {
  std::string& path = vectorPath();
  if (path.empty()) {
    const char* keep = std::getenv("VX_BENCH_VECTORS");
    if (keep != nullptr && *keep != '\0') {
      path = keep;
      if (std::FILE* f = std::fopen(keep, "r")) {
        std::fclose(f);
        return path;
      }
    } else {
      path = "/tmp/veltrix-bench-" + std::to_string(getpid()) + "-" + std::to_string(setCount()) + ".vec";
      vectorFileIsTemporary() = true;
    }
    vxbench::writeVectorFile(path, setCount());
  }
  return path;
}

// Bytes the heap has handed out and not had back.
size_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Time per vector, in seconds, from n vectors per iteration (shown with an
// SI prefix: "850n" is 850 ns).
void perSet(benchmark::State& state, int64_t n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["s_per_set"] = benchmark::Counter(
      static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A host buffer of 512 characters as text without its trailing blanks.
std::string_view trimmedCard(const char* buf) {
  std::string_view s(buf, 512);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// ---- Checking the generator against the library ------------------------------

// Adds every stride-th generated card set (the first 1000 too), reads its
// cards back and compares. False, with the first difference printed, when
// a set does not load or comes back different. Leaves the store empty.
bool generatedCardsReadBack() {
  const int64_t n = setCount();
  const int64_t stride = std::max<int64_t>(1, n / 4000);
  KinemRemoveAllSats();
  bool ok = true;
  int64_t checked = 0;
  char l1[513], l2[513], back1[512], back2[512];
  vxbench::generateVectors(n, 0, [&](std::string_view a, std::string_view b) {
    const int64_t k = checked++;
    if (!ok || (k >= 1000 && k % stride != 0)) return;
    std::memset(l1, ' ', 512);
    std::memset(l2, ' ', 512);
    a.copy(l1, a.size());
    b.copy(l2, b.size());
    l1[512] = l2[512] = '\0';
    const int64_t key = KinemAddSatFrLines(l1, l2);
    if (key <= 0) {
      char why[129] = {};
      KernixGetLastErrMsg(why);
      std::fprintf(stderr, "generated card set %lld does not load (%lld): %s\n%.*s\n%.*s\n",
                   static_cast<long long>(k), static_cast<long long>(key), why, static_cast<int>(a.size()), a.data(),
                   static_cast<int>(b.size()), b.data());
      ok = false;
      return;
    }
    if (KinemGetLines(key, back1, back2) != 0 || trimmedCard(back1) != a || trimmedCard(back2) != b) {
      std::fprintf(stderr, "generated card set %lld comes back different:\n%.*s\n%.*s\nlibrary:\n%.*s\n%.*s\n",
                   static_cast<long long>(k), static_cast<int>(a.size()), a.data(), static_cast<int>(b.size()),
                   b.data(), static_cast<int>(kCardCols), back1, static_cast<int>(kCardCols), back2);
      ok = false;
    }
  });
  KinemRemoveAllSats();
  return ok;
}

// ---- Yardstick ----------------------------------------------------------------

// The fields of the two cards, read with no checks beyond their form.
struct PlainVector {
  double pos[3] = {};
  double vel[3] = {};
  char secClass = ' ';
  int32_t satNum = 0;
  char intlDes[8] = {};
  char epochDtg[17] = {};
  int64_t epochMs = 0;  // milliseconds since 1950, for the key
  int32_t epochRev = 0, elsetNum = 0;
  double bTerm = 0, agom = 0, thrustAcc = 0;
  char coordSys[5] = {};
};

namespace plain {

// Columns first..last, 1-based inclusive, without leading and trailing blanks.
std::string_view cols(std::string_view line, int first, int last) {
  std::string_view s = line.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

template <class T>
bool readNum(std::string_view s, T& v) {
  if (s.empty()) {
    v = 0;
    return true;
  }
  if (s.front() == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A real with its point written, or four implied decimals without one.
bool readReal4(std::string_view s, double& v) {
  if (!readNum(s, v)) return false;
  if (s.find('.') == std::string_view::npos) v /= 1e4;
  return true;
}

bool readSatNum(std::string_view s, int32_t& v) {
  static constexpr std::string_view kAlpha = "ABCDEFGHJKLMNPQRSTUVWXYZ";
  if (!s.empty() && s.front() >= 'A' && s.front() <= 'Z') {
    const size_t lead = kAlpha.find(s.front());
    int32_t rest = 0;
    if (lead == std::string_view::npos || !readNum(s.substr(1), rest)) return false;
    v = (static_cast<int32_t>(lead) + 10) * 10000 + rest;
    return true;
  }
  return readNum(s, v);
}

// "YYDDDHHMMSS.SSS" as milliseconds since 1950 (every year taken as 366
// days: a key, not a date).
bool readEpochMs(std::string_view s, int64_t& ms) {
  int32_t yy = 0, ddd = 0, hh = 0, mi = 0;
  double ss = 0;
  if (s.size() != 15 || !readNum(s.substr(0, 2), yy) || !readNum(s.substr(2, 3), ddd) ||
      !readNum(s.substr(5, 2), hh) || !readNum(s.substr(7, 2), mi) || !readNum(s.substr(9), ss))
    return false;
  const int64_t years = yy < 50 ? yy + 50 : yy - 50;
  ms = (((years * 366 + ddd) * 24 + hh) * 60 + mi) * 60000 + static_cast<int64_t>(ss * 1000 + 0.5);
  return true;
}

}  // namespace plain

// Both cards of 80 characters or more into v; false for cards that do not
// read.
bool parsePlain(std::string_view l1, std::string_view l2, PlainVector& v) {
  using namespace plain;
  if (l1.size() < 80 || l2.size() < 80 || l1.substr(77, 3) != "B1P" || l2.substr(78, 2) != "2P") return false;
  v.secClass = l1[76];
  l2.copy(v.intlDes, 8, 6);
  l2.copy(v.epochDtg, 17, 14);
  l2.copy(v.coordSys, 5, 73);
  return readReal4(cols(l1, 1, 12), v.pos[0]) && readReal4(cols(l1, 13, 24), v.pos[1]) &&
         readReal4(cols(l1, 25, 36), v.pos[2]) && readReal4(cols(l1, 37, 49), v.vel[0]) &&
         readReal4(cols(l1, 50, 62), v.vel[1]) && readReal4(cols(l1, 63, 75), v.vel[2]) &&
         readSatNum(cols(l2, 1, 5), v.satNum) && readEpochMs(cols(l2, 15, 31), v.epochMs) &&
         readNum(cols(l2, 32, 38), v.epochRev) && readNum(cols(l2, 39, 43), v.elsetNum) &&
         readNum(cols(l2, 44, 53), v.bTerm) && readNum(cols(l2, 54, 63), v.agom) &&
         readNum(cols(l2, 64, 73), v.thrustAcc);
}

// The key the yardstick files a vector under: satellite number, then epoch.
int64_t plainKey(const PlainVector& v) { return int64_t{v.satNum} * 10000000000000 + v.epochMs; }

using PlainMap = std::map<int64_t, PlainVector>;

PlainMap& plainMap() {
  static PlainMap m;
  return m;
}

// Reads the file line by line, parses each card set, files it; the number
// of vectors filed.
int64_t loadPlain(const std::string& path, PlainMap& into) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return -1;
  char l1[600], l2[600];
  PlainVector v;
  int64_t n = 0;
  while (std::fgets(l1, sizeof l1, f) != nullptr) {
    if (l1[0] == '*') continue;
    if (std::fgets(l2, sizeof l2, f) == nullptr) break;
    if (!parsePlain(std::string_view(l1, std::strlen(l1)), std::string_view(l2, std::strlen(l2)), v)) continue;
    if (into.emplace(plainKey(v), v).second) ++n;
  }
  std::fclose(f);
  return n;
}

void BM_Baseline_LoadVectorsToMap(benchmark::State& state) {
  const std::string& path = vectorFile();
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
    if (got != n) state.SkipWithError("the yardstick did not file every vector");
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
  if (plainMap().size() != static_cast<size_t>(setCount())) loadPlain(vectorFile(), plainMap());
  std::vector<int64_t> keys;
  for (const auto& kv : plainMap()) keys.push_back(kv.first);
  keys = shuffled(keys);
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    const auto it = plainMap().find(keys[i]);
    if (it == plainMap().end()) ++missing;
    benchmark::DoNotOptimize(it->second.pos[0]);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("a key went missing");
  perSet(state, 1);
  // The store's benchmarks come next; the map has served its purpose.
  PlainMap().swap(plainMap());
}

// ---- The store ------------------------------------------------------------------

// Loads the vector file unless the store already holds exactly its vectors.
bool ensureLoaded() {
  const int64_t n = setCount();
  if (KinemGetCount() == n) return true;
  KinemRemoveAllSats();
  return KinemLoadFile(vectorFile().c_str()) == 0 && KinemGetCount() == n;
}

// Every loaded key, in random order.
const std::vector<int64_t>& randomKeys() {
  static std::vector<int64_t> keys;
  if (keys.size() != static_cast<size_t>(KinemGetCount())) {
    std::vector<int64_t> k(static_cast<size_t>(KinemGetCount()));
    const int32_t got = KinemGetLoadedN(9, static_cast<int32_t>(k.size()), k.data(), nullptr);
    k.resize(static_cast<size_t>(std::max(got, 0)));
    keys = shuffled(k);
  }
  return keys;
}

void BM_KinemLoadFile(benchmark::State& state) {
  const std::string& path = vectorFile();
  const int64_t n = setCount();
  double bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    KinemRemoveAllSats();
    const size_t before = heapInUse();
    state.ResumeTiming();
    const int32_t rc = KinemLoadFile(path.c_str());
    state.PauseTiming();
    bytes = static_cast<double>(heapInUse() - before) / static_cast<double>(n);
    if (rc != 0 || KinemGetCount() != n) state.SkipWithError("KinemLoadFile did not load every vector");
    state.ResumeTiming();
  }
  perSet(state, n);
  state.counters["heap_bytes_per_set"] = bytes;
}

void BM_KinemGetLines(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the vector file");
    return;
  }
  const auto& keys = randomKeys();
  char l1[512], l2[512];
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    if (KinemGetLines(keys[i], l1, l2) != 0) ++missing;
    benchmark::DoNotOptimize(l1);
    benchmark::DoNotOptimize(l2);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("KinemGetLines missed a loaded key");
  perSet(state, 1);
}

// Argument: the field index (1 position X, 9 satellite number, 11 epoch).
void BM_KinemGetField(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the vector file");
    return;
  }
  const auto field = static_cast<int32_t>(state.range(0));
  const auto& keys = randomKeys();
  char value[512];
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    if (KinemGetField(keys[i], field, value) != 0) ++missing;
    benchmark::DoNotOptimize(value);
    if (++i == keys.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("KinemGetField missed a loaded key");
  perSet(state, 1);
}

// The key of a satellite by its number: numbers of random loaded vectors,
// so every satellite asked for has several.
void BM_KinemGetSatKey(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the vector file");
    return;
  }
  const auto& keys = randomKeys();
  std::vector<int32_t> nums;
  char value[513];
  for (size_t i = 0; i < keys.size() && i < 4096; ++i) {
    if (KinemGetField(keys[i], 9, value) != 0) continue;
    value[512] = '\0';
    nums.push_back(std::atoi(value));
  }
  if (nums.empty()) {
    state.SkipWithError("no satellite numbers");
    return;
  }
  size_t i = 0, missing = 0;
  for (auto _ : state) {
    const int64_t key = KinemGetSatKey(nums[i]);
    if (key <= 0) ++missing;
    benchmark::DoNotOptimize(key);
    if (++i == nums.size()) i = 0;
  }
  if (missing != 0) state.SkipWithError("KinemGetSatKey missed a loaded satellite");
  perSet(state, 1);
}

// The count a host asks for before it lists the keys. Time per stored
// vector.
void BM_KinemGetCount(benchmark::State& state) {
  if (!ensureLoaded()) {
    state.SkipWithError("cannot load the vector file");
    return;
  }
  int32_t n = 0;
  for (auto _ : state) {
    n = KinemGetCount();
    benchmark::DoNotOptimize(n);
  }
  perSet(state, n);
}

BENCHMARK(BM_Baseline_LoadVectorsToMap)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_MapFind);
BENCHMARK(BM_KinemLoadFile)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KinemGetLines);
BENCHMARK(BM_KinemGetField)->Arg(1)->Arg(9)->Arg(11);
BENCHMARK(BM_KinemGetSatKey);
BENCHMARK(BM_KinemGetCount);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!generatedCardsReadBack()) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (vectorFileIsTemporary()) std::remove(vectorPath().c_str());
  return 0;
}
