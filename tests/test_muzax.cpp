// The music clock and real playback of short MP3s on SDL's dummy audio driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "engine/settings.h"
#include "platform/muzax.h"

namespace {

namespace fs = std::filesystem;
const std::string kTone = std::string(QVL_SOURCE_DIR) + "/tests/data/tone.mp3";      // 3 s, 44.1 kHz
const std::string kTone22 = std::string(QVL_SOURCE_DIR) + "/tests/data/tone22k.mp3";  // 2 s, 22.05 kHz

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(MuzaxClock, MillisecondsAreRoundedHalfToEven) {
  const struct {
    double frames;
    int rate, ms;
  } cases[] = {{0.5, 1000, 0}, {1.5, 1000, 2}, {2.5, 1000, 2}, {2.5001, 1000, 3}, {44, 44100, 1}};
  for (const auto& c : cases) EXPECT_EQ(muzax::FramesToMs(c.frames, c.rate), c.ms) << c.frames << " at " << c.rate;
}

TEST(MuzaxClock, FollowsTheTimerSmoothlyThroughLateCallbacks) {
  // Buffer k of 1024 frames starts playing at period k + 1; callbacks wake up to 3 ms late.
  constexpr double kPeriodUs = 1024.0 * 1e6 / 44100.0;
  auto trueFrames = [&](uint64_t us) { return std::max(0.0, us / kPeriodUs - 1) * 1024; };
  muzax::TMusicClock c;
  c.ticksPerSecond = 1e6;
  muzax::ClockSeek(c, 0, 0);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> late(0, 3000);
  int k = 0;
  uint64_t nextCallback = 0;
  double last = 0, largestStep = 0, largestLag = 0;
  for (uint64_t us = 0; us <= 2'000'000; us += 1000) {
    for (; nextCallback <= us; nextCallback = static_cast<uint64_t>(++k * kPeriodUs + late(rng)))
      muzax::ClockCallback(c, 1024, 1024, nextCallback);
    const double f = muzax::ClockFrames(c, us);
    ASSERT_GE(f, last) << "at " << us << " us";
    ASSERT_LE(f, trueFrames(us) + 1) << "ahead of the device at " << us << " us";
    if (us > 100'000) largestStep = std::max(largestStep, f - last), largestLag = std::max(largestLag, trueFrames(us) - f);
    last = f;
  }
  // A read every ms moves 44.1 frames: no hold-then-jump, no lag of the whole lateness.
  EXPECT_LT(largestStep, 1.2 * 44.1);
  EXPECT_LT(largestLag, 1.5 * 44.1);
}

// Steps {frames given, frames asked, tick}; given < 0: a read at that tick
// expecting `asked` frames. Ticks and frames are milliseconds here.
TEST(MuzaxClock, HoldsOnStallsAndDropsAnchorsAfterAGap) {
  struct Step {
    int given, asked;
    uint64_t tick;
  };
  const std::vector<Step> runs[] = {
      // The device stops asking: the clock holds, an older tick never takes it back.
      {{-1, 0, 50}, {20, 20, 100}, {-1, 0, 110}, {20, 20, 120}, {20, 20, 140}, {-1, 30, 150}, {-1, 60, 500},
       {-1, 60, 145}},
      // A short buffer (the ring ran dry) drops the anchors from before it.
      {{20, 20, 0}, {20, 20, 20}, {5, 20, 40}, {20, 20, 60}, {-1, 42, 62}, {-1, 45, 75}, {20, 20, 80},
       {20, 20, 100}, {-1, 75, 110}},  // 90 if reckoned from before the gap
  };
  for (const auto& run : runs) {
    muzax::TMusicClock c;
    c.ticksPerSecond = c.rate = 1000;
    muzax::ClockSeek(c, 0, 0);
    for (const Step& s : run)
      if (s.given >= 0) muzax::ClockCallback(c, s.given, s.asked, s.tick);
      else EXPECT_EQ(muzax::ClockFrames(c, s.tick), s.asked) << "at " << s.tick;
  }
}

class MuzaxPlayback : public testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);  // never a real sound card
    settings::SoundOff = false;
    settings::SoundDevice = 0;
  }
  void TearDown() override { muzax::FreeAudio(); }
  static void Start(const std::string& file) {
    muzax::InitAudio(0);
    muzax::OpenMusic(file);
    muzax::SeekMusic(0);
    muzax::PlayMusic();
  }
  static bool WaitForEnd() {
    for (int i = 0; i < 1500 && !muzax::MusicEnded(); ++i) SleepMs(2);
    return muzax::MusicEnded();
  }
};

TEST_F(MuzaxPlayback, LengthAndSeekAreExactAndTheEndHolds) {
  muzax::InitAudio(0);
  muzax::OpenMusic(kTone22);
  ASSERT_TRUE(muzax::MusicAvailable());
  EXPECT_EQ(muzax::MusicLength(), 2000);  // gapless: no encoder delay or padding
  muzax::OpenMusic(kTone);
  EXPECT_EQ(muzax::MusicLength(), 3000);
  // Not playing yet: a seek lands on the exact frame and stays there.
  muzax::SeekMusic(1234);
  EXPECT_EQ(muzax::FramesConsumed(), 1234 * 441 / 10);
  SleepMs(30);
  EXPECT_EQ(muzax::MusicPosition(), 1234);
  muzax::PlayMusic();
  muzax::SeekMusic(2800);
  ASSERT_TRUE(WaitForEnd());
  SleepMs(100);
  EXPECT_EQ(muzax::MusicPosition(), 3000);
  muzax::SeekMusic(0);
  EXPECT_FALSE(muzax::MusicEnded());
  EXPECT_LT(muzax::MusicPosition(), 30);
}

// Damaged files are replayed from the fuzz corpus. A missing file is said once, by name, and the
// frame clock goes on without it.
TEST_F(MuzaxPlayback, AMissingFileIsSaidOnce) {
  const std::string missing = (fs::temp_directory_path() / "qvl-no-such-dir" / "music.mp3").string();
  testing::internal::CaptureStderr();
  Start(missing);
  muzax::OpenMusic(missing);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(muzax::MusicAvailable() || muzax::MusicEnded());
  EXPECT_EQ(muzax::MusicPosition(), 0);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("music.mp3"), std::string::npos) << err;
}

TEST_F(MuzaxPlayback, SoundOffMakesNoAudioCallAtAll) {
  const Uint32 audioBefore = SDL_WasInit(SDL_INIT_AUDIO);
  const int32_t opensBefore = muzax::AudioOpenCount();
  muzax::FreeAudio();  // nothing was opened: harmless
  settings::SoundOff = true;
  Start(kTone);
  EXPECT_FALSE(muzax::MusicAvailable());
  muzax::FreeAudio();
  settings::SoundOff = false;
  EXPECT_EQ(muzax::AudioOpenCount(), opensBefore);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), audioBefore);
}

}  // namespace
