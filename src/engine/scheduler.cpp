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

// The events the walk may use: the list may hold more than its count says.
size_t UsableCount(const TDemoData& d) {
  return std::min<size_t>(d.Events.size(), static_cast<size_t>(std::max(d.EventCount, 0)));
}

// ---- the event index ----

// Each track's events ordered by end and, among equal ends, by falling list
// position, so the first entry that ends at or after a time is the one the
// search picks. Tracks lie back to back; track k's entries are
// [first[k], first[k + 1]).
struct TIndexed {
  int64_t End;
  int32_t Event;
};
std::vector<TIndexed> index;
size_t first[TrackCount + 1] = {};
size_t cursor[TrackCount] = {};  // where each track's last search ended
const TDemoData* indexed = nullptr;  // the list the index was built from
size_t indexedCount = 0;
bool useIndex = true;

void BuildIndex() {
  index.clear();
  std::fill(std::begin(first), std::end(first), size_t{0});
  std::fill(std::begin(cursor), std::end(cursor), size_t{0});
  indexed = demo;
  indexedCount = demo ? UsableCount(*demo) : 0;
  if (!demo) return;
  // Counted per track first, then each event put in its track's range.
  for (size_t i = 0; i < indexedCount; ++i)
    if (demo->Events[i].Track < TrackCount) ++first[demo->Events[i].Track + 1];
  for (int32_t k = 0; k < TrackCount; ++k) first[k + 1] += first[k];
  index.resize(first[TrackCount]);
  size_t next[TrackCount];
  std::copy_n(first, TrackCount, next);
  for (size_t i = 0; i < indexedCount; ++i) {
    const TDemoEvent& e = demo->Events[i];
    if (e.Track < TrackCount) index[next[e.Track]++] = {EndOf(e), static_cast<int32_t>(i)};
  }
  for (int32_t k = 0; k < TrackCount; ++k)
    std::sort(index.begin() + static_cast<ptrdiff_t>(first[k]), index.begin() + static_cast<ptrdiff_t>(first[k + 1]),
              [](const TIndexed& a, const TIndexed& b) { return a.End != b.End ? a.End < b.End : a.Event > b.Event; });
}

int32_t IndexedSearch(int32_t k, int64_t t) {
  // A list changed without a new UseDemoData still gets a sound index when
  // its length changed; the walk then never reads outside it.
  if (indexed != demo || indexedCount != UsableCount(*demo)) BuildIndex();
  const auto endsBefore = [t](const TIndexed& x, int64_t) { return x.End < t; };
  const size_t b = first[k], e = first[k + 1], c = std::clamp(cursor[k], b, e);
  size_t lo = b, hi = e;
  if (c < e && index[c].End < t) {
    // Time has passed the last answer, as it has whenever a bound event
    // ended: look just after it, in steps that double.
    size_t passed = c, probe = c + 1;
    for (size_t step = 2; probe < e && index[probe].End < t; step *= 2) {
      passed = probe;
      probe = passed + step;
    }
    lo = passed + 1;
    hi = std::min(e, probe + 1);
  } else {
    hi = std::min(e, c + 1);  // after a reset or a seek back: at or before it
  }
  const auto it = std::lower_bound(index.begin() + static_cast<ptrdiff_t>(lo), index.begin() + static_cast<ptrdiff_t>(hi),
                                   int64_t{0}, endsBefore);
  cursor[k] = static_cast<size_t>(it - index.begin());
  if (it == index.begin() + static_cast<ptrdiff_t>(e) || it->End - t > SearchHorizon) return -1;
  return it->Event;
}

int32_t LinearSearch(int32_t k, int64_t t) {
  int64_t best = SearchHorizon;
  int32_t found = -1;
  const size_t count = UsableCount(*demo);
  for (size_t i = 0; i < count; ++i) {
    const TDemoEvent& e = demo->Events[i];
    if (e.Track != k) continue;
    const int64_t end = EndOf(e);
    if (end >= t && end - t <= best) {
      best = end - t;
      found = static_cast<int32_t>(i);
    }
  }
  return found;
}

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

void Shutdown() {
  demo = nullptr;
  BuildIndex();
}

void UseDemoData(const TDemoData* data) {
  demo = data;
  BuildIndex();
}

int32_t NextEvent(int32_t track, int32_t time) {
  if (!demo || track < 0 || track >= TrackCount) return -1;
  return useIndex ? IndexedSearch(track, time) : LinearSearch(track, time);
}

void SetIndexedSearch(bool on) { useIndex = on; }

void SearchNext(int32_t k, int32_t t, int32_t w, int32_t h, float a) {
  TTrackState& s = Tracks[k];
  if (s.OpType == TrackNothingLeft) return;
  if (s.OpType >= 0) FreeHeld(s);
  s.OpType = TrackNothingLeft;
  if (!demo) return;

  const int32_t found = NextEvent(k, t);
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
