// A demo file's bytes through the title scan, the whole loader and the track
// walk at times around its first events. No GL context is current: libGL
// sends the operators' calls to its no-op table, and no operator reads GL
// state back, so every operator runs its own code.
#include <algorithm>
#include <vector>

#include "data/demo.h"
#include "app/modules.h"
#include "engine/registry.h"
#include "engine/scheduler.h"
#include "fuzzKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzzkit::ScratchFile file("demo.qvl");
  fuzzkit::StartEngine();
  file.Write(data, size);
  try {
    demo::ReadDemoTitle(file.path);
  } catch (const dllShared::DataError&) {
  }
  try {
    if (!demo::LoadDemoWithoutTextures(file.path, true)) return 0;
  } catch (const dllShared::DataError&) {
    return 0;
  }
  std::vector<int32_t> times{0, 1000};
  const auto& events = demo::DemoData.Events;
  for (size_t i = 0; i < std::min<size_t>(events.size(), 8); ++i)
    for (int64_t t : {int64_t{events[i].Start}, int64_t{events[i].Start} + events[i].Length / 2,
                      int64_t{events[i].Start} + events[i].Length + 1})
      times.push_back(static_cast<int32_t>(std::clamp<int64_t>(t, INT32_MIN, INT32_MAX)));
  std::sort(times.begin(), times.end());
  scheduler::RenderWidth = 640;
  scheduler::RenderHeight = 480;
  scheduler::ResetTracks();
  for (int32_t t : times) scheduler::RenderTracks(t);
  scheduler::ResetTracks();
  scheduler::DemoFinished = 0;
  // A load that finds no file empties what was loaded, so that libFuzzer's
  // leak check sees every run give back what it took.
  demo::LoadDemoWithoutTextures(file.path + ".none", false);
  return 0;
}
