// Looks up every key of a 100,000-entry directory with the indexed FindKey,
// beside a linear scan that upper-cases and compares names entry by entry,
// the way a reader without an index would. The scan is quadratic, so it
// looks up every 100th key only; compare the per-lookup times
// (items_per_second).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/filestuff.h"

namespace {

constexpr int Entries = 100000;

std::vector<std::string> keys;

void Prepare() {
  static bool done = false;
  if (done) return;
  done = true;
  for (int i = 0; i < Entries; ++i) keys.push_back("msh" + std::to_string(i % 1000) + "Group" + std::to_string(i) + "Faces");
  const auto path = (std::filesystem::temp_directory_path() / "qvl-bench-lookup.qvl").string();
  filestuff::WriteDemoFile(path, [] {
    for (const std::string& k : keys) filestuff::WriteInt(k, 1);
  });
  if (filestuff::OpenDemoFile(path) != filestuff::OpenResult::Opened) std::abort();
  std::filesystem::remove(path);
  // Ask in mixed case, as loaders do.
  for (std::string& k : keys) k[0] = 'M';
}

bool LinearFind(const std::string& name) {
  const std::string want = filestuff::UpperKey(name);
  for (const filestuff::TDirEntry& e : filestuff::Directory())
    if (filestuff::UpperKey(e.Name) == want) return true;
  return false;
}

void BM_IndexedFindKey(benchmark::State& state) {
  Prepare();
  for (auto _ : state) {
    int found = 0;
    for (const std::string& k : keys) found += filestuff::FindKey(k);
    if (found != Entries) state.SkipWithError("missed a key");
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * Entries);
}
BENCHMARK(BM_IndexedFindKey)->Unit(benchmark::kMillisecond);

void BM_LinearScan(benchmark::State& state) {
  Prepare();
  for (auto _ : state) {
    int found = 0;
    for (size_t i = 0; i < keys.size(); i += 100) found += LinearFind(keys[i]);
    if (found != Entries / 100) state.SkipWithError("missed a key");
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * (Entries / 100));
}
BENCHMARK(BM_LinearScan)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
