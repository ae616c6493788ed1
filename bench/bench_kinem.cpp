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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "PlainElset.h"
#include "StoreBench.h"
#include "Vectors.h"
#include "veltrix/kernix.h"
#include "veltrix/kinem.h"

namespace {

using vxbench::kCardCols;

using vxbench::perSet;
using vxbench::setCount;

vxbench::DataFile& dataFile() {
  static vxbench::DataFile file("VX_BENCH_VECTORS", ".vec", vxbench::writeVectorFile);
  return file;
}

const std::string& vectorFile() { return dataFile().path(); }

// Field 9 is the satellite number.
const vxbench::StoreApi kKinem = {"Kinem",       "vector",      "vector file",      &dataFile(),
                                  KinemLoadFile, KinemGetCount, KinemRemoveAllSats, KinemGetLoadedN,
                                  KinemGetLines, KinemGetField, KinemGetSatKey,     9};

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

using vxbench::plain::cols;
using vxbench::plain::readNum;

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

vxbench::Yardstick<PlainVector> yardstick{[](const char* line) { return line[0] == '*'; }, parsePlain, plainKey, {}};

void BM_Baseline_LoadVectorsToMap(benchmark::State& state) {
  vxbench::yardstickLoad(state, yardstick, vectorFile(), "vector");
}

void BM_Baseline_MapFind(benchmark::State& state) {
  vxbench::yardstickFind(state, yardstick, vectorFile(),
                         [](const PlainVector& v) { benchmark::DoNotOptimize(v.pos[0]); });
}

// ---- The store ------------------------------------------------------------------

void BM_KinemLoadFile(benchmark::State& state) { vxbench::storeLoadFile(state, kKinem); }

void BM_KinemGetLines(benchmark::State& state) { vxbench::storeGetLines(state, kKinem); }

// Argument: the field index (1 position X, 9 satellite number, 11 epoch).
void BM_KinemGetField(benchmark::State& state) { vxbench::storeGetField(state, kKinem); }

void BM_KinemGetSatKey(benchmark::State& state) { vxbench::storeGetSatKey(state, kKinem); }

void BM_KinemGetCount(benchmark::State& state) { vxbench::storeGetCount(state, kKinem); }

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
  dataFile().removeIfTemporary();
  return 0;
}
