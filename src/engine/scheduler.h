// scheduler: the 32-track timeline.
//
// Every frame the tracks are walked in ascending order; each keeps at most
// one event bound to an instance of its operator and renders it while the
// time lies inside the event. Operators of kind 1 render the tracks after
// their own through RenderFollowing, which moves the shared walk position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace scheduler {

inline constexpr int32_t TrackCount = 32;
inline constexpr int32_t TrackSearch = -1;       // look for the next event
inline constexpr int32_t TrackNothingLeft = -2;  // no event ends now or later

// One timeline event, stored in the demo file exactly like this.
struct TDemoEvent {
  int32_t Start;   // ms
  int32_t Length;  // ms; the event ends at Start + Length, both ends included
  uint8_t Track;   // 0..31
  uint8_t Padding[3];
  int32_t OpType;    // operator type number
  int32_t ParamSet;  // parameter set of that type
};
static_assert(sizeof(TDemoEvent) == 20);
static_assert(std::is_trivially_copyable_v<TDemoEvent>);
static_assert(offsetof(TDemoEvent, Length) == 4 && offsetof(TDemoEvent, Track) == 8 &&
              offsetof(TDemoEvent, OpType) == 12 && offsetof(TDemoEvent, ParamSet) == 16);

struct TDemoData {
  int32_t EventCount = 0;
  std::vector<TDemoEvent> Events;
};

struct TTrackState {
  // >= 0: the bound event's operator type; TrackSearch; TrackNothingLeft.
  // HeldWithoutOperator marks an event whose type is no operator: it is
  // held until it ends, and nothing is rendered or freed for it.
  int32_t OpType;
  int32_t Slot;  // what CreateInstance returned; -1 holds no instance
  int32_t EventIndex;
};
inline constexpr int32_t HeldWithoutOperator = 15;

extern TTrackState Tracks[TrackCount];
extern int32_t TrackPos;
extern int32_t RenderWidth;
extern int32_t RenderHeight;
extern uint8_t DemoFinished;  // raised by End Demo; the main loop ends

void Startup();  // every track searches
void Shutdown();

// The events the walk plays; the demo module owns them. Indexes them for
// the searches: call it again whenever the event list has changed.
void UseDemoData(const TDemoData* data);
// The event SearchNext binds on `track` at `time`: of the track's events
// that end at or after the time, and no more than 999999999 ms after it, the
// one ending soonest, the later in the list among equal ends; -1 for none.
int32_t NextEvent(int32_t track, int32_t time);
// Searches through the index (the default) or by scanning the whole list,
// the way a reader without an index would (tests and benchmarks compare).
void SetIndexedSearch(bool indexed);

void RenderTracks(int32_t time);
void ResetTracks();
// fHost slot 2. Mode 2 handles the current track without moving on; any
// other mode the next one. Past the last track it does nothing.
void RenderFollowing(int32_t width, int32_t height, int32_t time, float alpha, uint8_t mode);
void SearchNext(int32_t track, int32_t time, int32_t width, int32_t height, float alpha);

}  // namespace scheduler
