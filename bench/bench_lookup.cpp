// Lookups that grow with the demo file:
// - every key of a 100,000-entry directory with the indexed FindKey, beside
//   a linear scan that upper-cases and compares names entry by entry, the
//   way a reader without an index would. The scan is quadratic, so it looks
//   up every 100th key only; compare the per-lookup times (items_per_second).
// - the scheduler's per-frame cost on timelines of 1,000 to 1,000,000 short
//   events on all 32 tracks, one ending on every track about every frame,
//   through the event index and through a scan of the whole list.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/filestuff.h"
#include "engine/registry.h"
#include "engine/scheduler.h"

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

// ---- the timeline ----

// An operator that binds and draws nothing, so only the searching is timed.
int32_t BindNothing(int32_t) { return 0; }
void FreeNothing(uint8_t) {}
void DrawNothing(uint8_t, int32_t, int32_t, int32_t, int32_t, float, float) {}
dllShared::fOperator nothing = {"nothing", 0, 0, nullptr, nullptr, nullptr, nullptr, BindNothing, FreeNothing, DrawNothing, nullptr, nullptr};

constexpr int32_t EventSpacing = 17;  // ms from one event's start to the next on its track
constexpr int32_t EventLength = 10;

// Events listed track by track within each time step, the way an editor
// appends them; track k's j-th event starts at j * EventSpacing + k / 4.
scheduler::TDemoData Timeline(int64_t count) {
  scheduler::TDemoData d;
  for (int64_t i = 0; i < count; ++i) {
    const auto track = static_cast<uint8_t>(i % scheduler::TrackCount);
    const auto start = static_cast<int32_t>(i / scheduler::TrackCount * EventSpacing + track / 4);
    d.Events.push_back({start, EventLength, track, {0, 0, 0}, 0, 0});
  }
  d.EventCount = static_cast<int32_t>(count);
  return d;
}

// One frame a 60th of a second after the other, round the whole timeline.
void TimelineFrames(benchmark::State& state, bool indexed) {
  static scheduler::TDemoData data;
  data = Timeline(state.range(0));
  registry::Operators[0] = &nothing;
  scheduler::SetIndexedSearch(indexed);
  scheduler::Startup();
  scheduler::UseDemoData(&data);
  const int64_t frames = state.range(0) / scheduler::TrackCount * EventSpacing * 60 / 1000;
  int64_t frame = 0;
  for (auto _ : state) {
    if (frame == frames) frame = 0, scheduler::ResetTracks();
    scheduler::RenderTracks(static_cast<int32_t>(frame++ * 1000 / 60));
  }
  state.SetItemsProcessed(state.iterations());
  scheduler::UseDemoData(nullptr);
  scheduler::SetIndexedSearch(true);
}

void BM_TimelineFrameIndexed(benchmark::State& state) { TimelineFrames(state, true); }
void BM_TimelineFrameScan(benchmark::State& state) { TimelineFrames(state, false); }
BENCHMARK(BM_TimelineFrameIndexed)->Unit(benchmark::kMicrosecond)->RangeMultiplier(10)->Range(1000, 1000000);
BENCHMARK(BM_TimelineFrameScan)->Unit(benchmark::kMicrosecond)->RangeMultiplier(10)->Range(1000, 1000000);

}  // namespace

BENCHMARK_MAIN();
