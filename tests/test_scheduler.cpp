// The track scheduler, driven through a fake operator that records calls.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>
#include <vector>

#include "engine/registry.h"
#include "operators/roster.h"
#include "engine/scheduler.h"

namespace {

struct Call { char what /* 'C'reate, 'F'ree, 'R'ender */; int32_t slot, width, height, time, elapsed; float progress, alpha; };

// One fake type: records every call, hands out slots 0..7, and can be told to render a number of
// following tracks with its own size and alpha.
struct Fake {
  std::vector<Call> calls;
  bool used[8] = {}, refuse = false;
  int follow = 0, followW = 0, followH = 0;
  float followAlpha = 1.0f;
};
Fake fakes[2];

template <int N>
int32_t Create(int32_t set) {
  Fake& f = fakes[N];
  for (int i = 0; i < 8 && !f.refuse; ++i)
    if (!f.used[i]) return f.used[i] = true, f.calls.push_back({'C', i, set, 0, 0, 0, 0, 0}), i;
  return -1;
}
template <int N>
void Free(uint8_t slot) {
  fakes[N].calls.push_back({'F', slot, 0, 0, 0, 0, 0, 0});
  if (slot < 8) fakes[N].used[slot] = false;
}
template <int N>
void Render(uint8_t slot, int32_t w, int32_t h, int32_t t, int32_t elapsed, float p, float a) {
  fakes[N].calls.push_back({'R', slot, w, h, t, elapsed, p, a});
  for (int i = 0; i < fakes[N].follow; ++i) dllShared::Host.RenderFollowing(fakes[N].followW, fakes[N].followH, t, fakes[N].followAlpha, 0);
}

class Scheduler : public ::testing::Test {
 protected:
  void SetUp() override {
    roster::Startup(), roster::RegisterOperators();
    std::copy_n(registry::Operators, 2, saved);
    fakes[0] = fakes[1] = Fake{};
    ops[0] = {"fake0", 0, 0, nullptr, nullptr, nullptr, nullptr, Create<0>, Free<0>, Render<0>, nullptr, nullptr};
    ops[1] = {"fake1", 0, 1, nullptr, nullptr, nullptr, nullptr, Create<1>, Free<1>, Render<1>, nullptr, nullptr};
    registry::Operators[0] = &ops[0], registry::Operators[1] = &ops[1];
    scheduler::Startup(), scheduler::RenderWidth = 800, scheduler::RenderHeight = 600, scheduler::UseDemoData(&data);
  }
  void TearDown() override { std::copy_n(saved, 2, registry::Operators), scheduler::UseDemoData(nullptr); }
  void Add(int32_t start, int32_t length, uint8_t track, int32_t type = 0, int32_t set = 0) {
    data.Events.push_back({start, length, track, {0, 0, 0}, type, set});
    data.EventCount = static_cast<int32_t>(data.Events.size());
  }
  static std::vector<Call> Renders() {
    std::vector<Call> r;
    std::copy_if(fakes[0].calls.begin(), fakes[0].calls.end(), std::back_inserter(r), [](const Call& c) { return c.what == 'R'; });
    return r;
  }
  static std::vector<int32_t> Elapsed() {
    std::vector<int32_t> e;
    for (const Call& c : Renders()) e.push_back(c.elapsed);
    return e;
  }
  static void Frame(int32_t t) { fakes[0].calls.clear(), fakes[1].calls.clear(), scheduler::RenderTracks(t); }

  scheduler::TDemoData data;
  dllShared::fOperator ops[2];
  dllShared::fOperator* saved[2] = {};
};

TEST_F(Scheduler, BackToBackEventsShareTheirBoundary) {
  Add(0, 1000, 0, 0, 5), Add(1000, 1000, 0, 0, 6), Frame(1000);
  ASSERT_EQ(Elapsed(), std::vector<int32_t>{1000});
  EXPECT_FLOAT_EQ(Renders()[0].progress, 1.0f);
  EXPECT_EQ(fakes[0].calls[0].width, 5);  // bound to the first event's set

  Frame(1001);  // free, create with the second event's set, render
  const auto& c = fakes[0].calls;
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(std::make_tuple(c[0].what, c[1].what, c[1].width, c[2].what), std::make_tuple('F', 'C', 6, 'R'));
  EXPECT_EQ(std::make_tuple(c[2].elapsed, c[2].width, c[2].alpha, c[2].progress), std::make_tuple(1, 800, 1.0f, 0.001f));
}

TEST_F(Scheduler, OverlappingEventsPlayTheOneThatEndsFirst) {
  Add(0, 10000, 2, 0, 1), Add(1000, 1000, 2, 0, 2), Frame(0);  // A, B
  ASSERT_EQ(fakes[0].calls.size(), 1u);  // B is bound and waits for its start
  EXPECT_EQ(fakes[0].calls[0].width, 2);
  Frame(999);
  EXPECT_TRUE(fakes[0].calls.empty());  // the slot is held meanwhile
  Frame(1000);
  EXPECT_EQ(Elapsed(), std::vector<int32_t>{0});
  Frame(2001);
  EXPECT_EQ(Elapsed(), std::vector<int32_t>{2001});  // A from its middle
  EXPECT_EQ(fakes[0].calls[1].width, 1);
}

TEST_F(Scheduler, JumpOverAnEventWithoutResetSkipsIt) {
  Add(100, 200, 0, 0, 1), Add(400, 200, 0, 0, 2), Frame(150), Frame(1000);  // past both
  EXPECT_TRUE(Renders().empty());
  EXPECT_EQ(scheduler::Tracks[0].OpType, scheduler::TrackNothingLeft);
  scheduler::ResetTracks();  // the track searches again from scratch
  EXPECT_EQ(scheduler::Tracks[0].OpType, scheduler::TrackSearch);
  Frame(450);
  EXPECT_EQ(Elapsed(), std::vector<int32_t>{50});
}

TEST_F(Scheduler, KindOneOperatorRendersFollowingTracksWithItsOwnValues) {
  fakes[1].follow = 2, fakes[1].followW = 64, fakes[1].followH = 32, fakes[1].followAlpha = 0.25f;
  Add(0, 1000, 3, 1), Add(0, 1000, 4, 0, 4), Add(0, 1000, 5, 0, 5), Add(0, 1000, 6, 0, 6), Frame(500);
  auto r = Renders();
  ASSERT_EQ(r.size(), 3u);
  // Tracks 4 and 5 with the caller's size and alpha, then the walk resumes at 6.
  EXPECT_EQ(std::make_tuple(r[0].width, r[0].height, r[0].alpha, r[1].width), std::make_tuple(64, 32, 0.25f, 64));
  EXPECT_EQ(std::make_tuple(r[2].width, r[2].alpha), std::make_tuple(800, 1.0f));
}

TEST_F(Scheduler, RenderFollowingPastTheLastTrackAndTracksAbove31DoNothing) {
  fakes[1].follow = 3;
  Add(0, 1000, 30, 1), Add(0, 1000, 31, 0), Add(0, 1000, 32), Add(0, 1000, 255), Frame(10);
  EXPECT_EQ(fakes[0].calls.size(), 2u);  // track 31 bound and rendered, nothing above
  EXPECT_EQ(scheduler::TrackPos, scheduler::TrackCount);
}

TEST_F(Scheduler, SearchHorizonIsInclusive) {
  Add(0, 999999999, 0, 0, 1), Add(0, 1000000000, 1, 0, 2), Frame(0);  // track 2 has no events: nothing left
  EXPECT_EQ((std::array{scheduler::Tracks[0].OpType, scheduler::Tracks[1].OpType, scheduler::Tracks[2].OpType}),
            (std::array{0, scheduler::TrackNothingLeft, scheduler::TrackNothingLeft}));
}

TEST_F(Scheduler, EndIsComputedWithoutOverflow) {
  Add(2147483000, 2000, 0), Frame(2147483600);  // ends beyond the int32 range
  EXPECT_EQ(Elapsed(), std::vector<int32_t>{600});
  Add(-2147483647, 1, 1), scheduler::ResetTracks(), Frame(0);  // ended long ago, never chosen
  EXPECT_EQ(scheduler::Tracks[1].OpType, scheduler::TrackNothingLeft);
}

TEST_F(Scheduler, ZeroLengthEventMetAtItsStartHasProgressOne) {
  Add(500, 0, 0), Frame(500);
  ASSERT_EQ(Renders().size(), 1u);
  EXPECT_EQ(Renders()[0].progress, 1.0f);
  Frame(501);
  EXPECT_TRUE(Renders().empty());
}

TEST_F(Scheduler, TrackWithoutAnInstanceRendersAndFreesNothing) {
  fakes[0].refuse = true;
  Add(0, 100, 0, 0), Add(200, 100, 0, 0), Add(0, 1000, 5, 1);
  Add(0, 100, 1, 99), Add(0, 100, 2, -2);  // no such operator type, nor a negative one
  Frame(50);
  EXPECT_TRUE(Renders().empty());
  EXPECT_EQ(scheduler::Tracks[0].Slot, -1);
  Frame(60);
  EXPECT_EQ(fakes[0].calls.size(), 0u);  // held, not searched again
  fakes[0].refuse = false;
  Frame(250);  // the held event ended: search again, this time with a slot
  const auto frees = [] { int n = 0; for (const Fake& f : fakes) for (const Call& c : f.calls) n += c.what == 'F'; return n; };
  ASSERT_EQ(Renders().size(), 1u);
  EXPECT_EQ(frees(), 0);
  scheduler::ResetTracks();  // frees every held instance, and only those
  EXPECT_EQ(frees(), 2);
  for (const auto& t : scheduler::Tracks) EXPECT_EQ(t.OpType, scheduler::TrackSearch);
}

// Random timelines through the index and through the plain scan: every lookup and every frame's calls
// agree. Starts and lengths come from small sets so that ends tie; kind-1 events chain up to 30 deep.
TEST_F(Scheduler, IndexedSearchAgreesWithTheScanOnRandomTimelines) {
  std::mt19937 rng(20);
  const auto pick = [&](std::initializer_list<int32_t> v) { return *(v.begin() + rng() % v.size()); };
  for (int round = 0; round < 40; ++round) {
    data = {};
    const int count = static_cast<int>(rng() % 300);
    for (int i = 0; i < count; ++i) {
      const int32_t start = rng() % 8 ? static_cast<int32_t>(rng() % 60) * 50 - 500 : pick({2147483000, -2147483647, 0});
      const int32_t length = pick({0, 0, 50, 100, 999999999, 1000000000, -100, static_cast<int32_t>(rng() % 2000)});
      const auto track = static_cast<uint8_t>(rng() % 10 ? rng() % 32 : pick({32, 255}));
      Add(start, length, track, rng() % 3 == 0, static_cast<int32_t>(rng() % 4));
    }
    if (round % 4 == 0)  // a kind-1 event on each of tracks 0..29: following chains 30 deep
      for (uint8_t k = 0; k < 30; ++k) Add(-1000, 8000, k, 1, k);
    data.EventCount -= static_cast<int32_t>(rng() % 2);  // sometimes the list holds one more than its count
    scheduler::UseDemoData(&data);
    for (int q = 0; q < 200; ++q) {
      const auto& e = data.Events.empty() ? scheduler::TDemoEvent{} : data.Events[rng() % data.Events.size()];
      const int64_t end = static_cast<int64_t>(e.Start) + e.Length;
      const auto t = static_cast<int32_t>(std::clamp<int64_t>(end + pick({-1, 0, 1, -999999999, -1000000000, -77}),
                                                              INT32_MIN, INT32_MAX));
      const int32_t k = pick({e.Track, static_cast<int32_t>(rng() % 32)});
      scheduler::SetIndexedSearch(true);
      const int32_t viaIndex = scheduler::NextEvent(k, t);
      scheduler::SetIndexedSearch(false);
      ASSERT_EQ(viaIndex, scheduler::NextEvent(k, t)) << "round " << round << " track " << k << " time " << t;
    }
    // One walk of 80 frames, mostly forward, with seeks both ways, played once each way.
    std::vector<std::pair<int32_t, bool>> frames;  // time, reset first
    for (int32_t f = 0, t = -600; f < 80; ++f) {
      const bool seek = rng() % 10 == 0;
      t += seek ? static_cast<int32_t>(rng() % 3000) - 1500 : static_cast<int32_t>(rng() % 120);
      frames.emplace_back(t, seek && rng() % 2 == 0);
    }
    const auto follows = static_cast<int>(1 + rng() % 2);
    std::vector<std::tuple<int, char, int32_t, int32_t, int32_t, int32_t, float, float>> logs[2];
    for (bool indexed : {true, false}) {
      scheduler::SetIndexedSearch(indexed), scheduler::Startup();
      fakes[0] = fakes[1] = Fake{}, fakes[1].follow = follows, fakes[1].followW = 7;
      for (const auto& [t, reset] : frames) {
        if (reset) scheduler::ResetTracks();
        Frame(t);
        for (int n = 0; n < 2; ++n)
          for (const Call& c : fakes[n].calls)
            logs[indexed].emplace_back(n, c.what, c.slot, c.width, c.time, c.elapsed, c.progress, c.alpha);
      }
    }
    scheduler::SetIndexedSearch(true);
    ASSERT_EQ(logs[0], logs[1]) << "round " << round;
  }
}

}  // namespace
