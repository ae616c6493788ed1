// OMM against the two-line form through the public C interface: loading the
// same million element sets from line pairs and from each OMM encoding, and
// saving them in each form. The OMM files are written by the library's own
// save (from the store loaded from the line pairs) before they are loaded.
//
// VX_BENCH_SETS=n changes the number of element sets; VX_BENCH_CATALOG=path
// keeps the two-line catalog (see bench_store). The OMM files live in /tmp
// for the run and are removed at exit.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "Catalog.h"
#include "StoreBench.h"
#include "veltrix/tle.h"

namespace {

using vxbench::perSet;

vxbench::DataFile& catalogFile() {
  static vxbench::DataFile file("VX_BENCH_CATALOG", ".tle", vxbench::writeCatalog);
  return file;
}

// Host texts are 512-character buffers.
std::string host(const std::string& s) {
  std::string h = s;
  h.resize(512, ' ');
  return h;
}

const char* formName(int32_t form) {
  switch (form) {
    case VX_SAVE_LINES: return "lines";
    case VX_SAVE_OMM_CSV: return "omm.csv";
    case VX_SAVE_OMM_JSON: return "omm.json";
    case VX_SAVE_OMM_XML: return "omm.xml";
    default: return "omm.kvn";
  }
}

std::string outPath(int32_t form) {
  return "/tmp/veltrix-bench-omm-" + std::to_string(getpid()) + "." + formName(form);
}

void loadCatalog() {
  TleRemoveAllSats();
  TleLoadFile(host(catalogFile().path()).c_str());
}

// The store holds the catalog, however a benchmark before left it.
void ensureCatalog() {
  static bool loaded = false;
  if (!loaded || TleGetCount() != vxbench::setCount()) loadCatalog();
  loaded = true;
}

// Argument: the save form (0 line pairs, 3-6 OMM CSV, JSON, XML, KVN).
void BM_Save(benchmark::State& state) {
  const auto form = static_cast<int32_t>(state.range(0));
  ensureCatalog();
  const std::string file = host(outPath(form));
  for (auto _ : state)
    if (TleSaveFileAs(file.c_str(), 0, form) != 0) state.SkipWithError("save failed");
  perSet(state, TleGetCount());
}

// Argument: the form of the file loaded (as BM_Save; 0 is the catalog).
void BM_Load(benchmark::State& state) {
  const auto form = static_cast<int32_t>(state.range(0));
  std::string file = catalogFile().path();
  if (form != VX_SAVE_LINES) {
    file = outPath(form);
    ensureCatalog();
    if (TleSaveFileAs(host(file).c_str(), 0, form) != 0) state.SkipWithError("save failed");
  }
  const std::string name = host(file);
  int32_t loaded = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TleRemoveAllSats();
    state.ResumeTiming();
    int32_t dup = 0, bad = 0;
    if (TleLoadFileCounts(name.c_str(), &loaded, &dup, &bad) != 0 || bad != 0) state.SkipWithError("load failed");
  }
  if (loaded != vxbench::setCount()) state.SkipWithError("not every set loaded");
  perSet(state, loaded);
}

BENCHMARK(BM_Load)->Arg(0)->Arg(3)->Arg(4)->Arg(5)->Arg(6)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(0)->Arg(3)->Arg(4)->Arg(5)->Arg(6)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return vxbench::runBenchmarks(argc, argv, [] {
    for (int32_t form : {VX_SAVE_LINES, VX_SAVE_OMM_CSV, VX_SAVE_OMM_JSON, VX_SAVE_OMM_XML, VX_SAVE_OMM_KVN})
      std::remove(outPath(form).c_str());
    catalogFile().removeIfTemporary();
  });
}
