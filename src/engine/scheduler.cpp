#include "engine/scheduler.h"

#include <algorithm>
#include <limits>

#include "engine/registry.h"

namespace scheduler {

TTrackState Tracks[TrackCount];
int32_t TrackPos = 0;
int32_t RenderWidth = 800;
int32_t RenderHeight = 600;
uint8_t DemoFinished = 0;

namespace {

const TDemoData* demo = nullptr;

// An event whose search bound must not be exceeded: it ends more than this
// many ms after the time of the search.
constexpr int64_t SearchHorizon = 999999999;

int64_t EndOf(const TDemoEvent& e) { return static_cast<int64_t>(e.Start) + e.Length; }

dllShared::fOperator* OperatorOf(const TTrackState& s) {
  if (s.OpType < 0 || s.OpType >= registry::OperatorCount) return nullptr;
  return registry::Operators[s.OpType];
}

// Releases the track's instance, if it holds one.
void FreeHeld(const TTrackState& s) {
  dllShared::fOperator* op = OperatorOf(s);
  if (op && s.Slot >= 0 && op->FreeInstance) op->FreeInstance(static_cast<uint8_t>(s.Slot & 0xFF));
}

void RenderEvent(const TTrackState& s, const TDemoEvent& e, int32_t t, int32_t w, int32_t h, float a) {
  dllShared::fOperator* op = OperatorOf(s);
  if (!op || s.Slot < 0 || !op->Render) return;
  const int64_t elapsed = static_cast<int64_t>(t) - e.Start;
  // A zero-length event met at its start has run its whole course.
  const float progress =
      e.Length == 0 ? 1.0f : static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(e.Length));
  const auto elapsed32 = static_cast<int32_t>(std::min<int64_t>(elapsed, std::numeric_limits<int32_t>::max()));
  op->Render(static_cast<uint8_t>(s.Slot & 0xFF), w, h, t, elapsed32, progress, a);
}

void HandleTrack(int32_t k, int32_t t, int32_t w, int32_t h, float a) {
  TTrackState& s = Tracks[k];
  if (s.OpType >= 0) {
    if (!demo || s.EventIndex < 0 || static_cast<size_t>(s.EventIndex) >= demo->Events.size()) {
      SearchNext(k, t, w, h, a);
      return;
    }
    const TDemoEvent& e = demo->Events[static_cast<size_t>(s.EventIndex)];
    if (t > EndOf(e))
      SearchNext(k, t, w, h, a);
    else if (e.Start <= t)
      RenderEvent(s, e, t, w, h, a);
  } else if (s.OpType == TrackSearch) {
    SearchNext(k, t, w, h, a);
  }
}

}  // namespace

void Startup() {
  for (TTrackState& s : Tracks) s = {TrackSearch, -1, 0};
  TrackPos = 0;
}

void Shutdown() { demo = nullptr; }

void UseDemoData(const TDemoData* data) { demo = data; }

void SearchNext(int32_t k, int32_t t, int32_t w, int32_t h, float a) {
  TTrackState& s = Tracks[k];
  if (s.OpType == TrackNothingLeft) return;
  if (s.OpType >= 0) FreeHeld(s);
  s.OpType = TrackNothingLeft;
  if (!demo) return;

  int64_t best = SearchHorizon;
  int32_t found = -1;
  const auto count = std::min<size_t>(demo->Events.size(), static_cast<size_t>(std::max(demo->EventCount, 0)));
  for (size_t i = 0; i < count; ++i) {
    const TDemoEvent& e = demo->Events[i];
    if (e.Track != k) continue;
    const int64_t end = EndOf(e);
    if (end >= t && end - t <= best) {
      best = end - t;
      found = static_cast<int32_t>(i);
    }
  }
  if (found < 0) return;

  const TDemoEvent& e = demo->Events[static_cast<size_t>(found)];
  s.EventIndex = found;
  if (e.OpType >= 0 && e.OpType < registry::OperatorCount && registry::Operators[e.OpType] &&
      registry::Operators[e.OpType]->CreateInstance) {
    s.OpType = e.OpType;
    s.Slot = registry::Operators[e.OpType]->CreateInstance(e.ParamSet);
  } else {
    s.OpType = HeldWithoutOperator;
    s.Slot = -1;
  }
  if (e.Start <= t && t <= EndOf(e)) RenderEvent(s, e, t, w, h, a);
}

void RenderTracks(int32_t t) {
  for (TrackPos = 0; TrackPos < TrackCount; ++TrackPos)
    HandleTrack(TrackPos, t, RenderWidth, RenderHeight, 1.0f);
}

void RenderFollowing(int32_t w, int32_t h, int32_t t, float a, uint8_t mode) {
  if (mode != 2) {
    // No track follows the last one: the call does nothing.
    if (TrackPos >= TrackCount - 1) return;
    ++TrackPos;
  }
  if (TrackPos < 0 || TrackPos >= TrackCount) return;
  HandleTrack(TrackPos, t, w, h, a);
}

void ResetTracks() {
  for (TTrackState& s : Tracks) {
    if (s.OpType >= 0) FreeHeld(s);
    s.OpType = TrackSearch;
  }
}

}  // namespace scheduler
