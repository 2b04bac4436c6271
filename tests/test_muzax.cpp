// The music clock: rounding, the sample clock driven by made-up ticks, and real
// playback of short MP3s on SDL's dummy audio driver.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/settings.h"
#include "player/muzax.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kTone = std::string(QVL_SOURCE_DIR) + "/tests/data/tone.mp3";      // 3 s, 44.1 kHz
const std::string kTone22 = std::string(QVL_SOURCE_DIR) + "/tests/data/tone22k.mp3";  // 2 s, 22.05 kHz

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(MuzaxClock, MillisecondsAreRoundedHalfToEven) {
  const struct {
    double frames;
    int rate, ms;
  } cases[] = {{0.5, 1000, 0}, {1.5, 1000, 2}, {2.5, 1000, 2}, {2.5001, 1000, 3}, {1.9996 * 44100, 44100, 2000}, {44, 44100, 1}};
  for (const auto& c : cases) EXPECT_EQ(muzax::FramesToMs(c.frames, c.rate), c.ms) << c.frames << " at " << c.rate;
}

TEST(MuzaxClock, FollowsTheTimerSmoothlyThroughLateCallbacks) {
  // A device asking for 1024 frames every period (ticks in us); buffer k
  // starts playing at period k + 1. Callbacks wake up to 3 ms late.
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
    while (nextCallback <= us) {
      muzax::ClockCallback(c, 1024, 1024, nextCallback);
      nextCallback = static_cast<uint64_t>(++k * kPeriodUs + late(rng));
    }
    const double f = muzax::ClockFrames(c, us);
    ASSERT_GE(f, last) << "at " << us << " us";
    ASSERT_LE(f, trueFrames(us) + 1) << "ahead of the device at " << us << " us";
    if (us > 100'000) {
      largestStep = std::max(largestStep, f - last);
      largestLag = std::max(largestLag, trueFrames(us) - f);
    }
    last = f;
  }
  // A read every ms moves 44.1 frames: no hold-then-jump, no lag of the whole lateness.
  EXPECT_LT(largestStep, 1.2 * 44.1);
  EXPECT_LT(largestLag, 1.5 * 44.1);
}

// A clock whose ticks and frames are both milliseconds.
muzax::TMusicClock MsClock() {
  muzax::TMusicClock c;
  c.ticksPerSecond = 1000;
  c.rate = 1000;
  muzax::ClockSeek(c, 0, 0);
  return c;
}

TEST(MuzaxClock, HoldsOnStallsAndDropsAnchorsAfterAGap) {
  // Each step is a callback {frames given, frames asked, at tick} or, with
  // frames given < 0, a read at that tick expecting `asked` frames.
  struct Step {
    int given, asked;
    uint64_t tick;
  };
  const std::vector<Step> runs[] = {
      {{-1, 0, 50}, {20, 20, 100}, {-1, 0, 110},  // frames 0..19 go to the device
       {20, 20, 120}, {20, 20, 140}, {-1, 30, 150},  // they start playing
       // The device stops asking: the clock holds at what it was given, and
       // an older tick never takes it back.
       {-1, 60, 500}, {-1, 60, 145}},
      // A short buffer (the ring ran dry) drops the anchors from before it:
      // 5 frames then silence at 40, frames 40..44 play from 60, 45 from 80.
      {{20, 20, 0}, {20, 20, 20}, {5, 20, 40}, {20, 20, 60}, {-1, 42, 62}, {-1, 45, 75}, {20, 20, 80},
       {20, 20, 100}, {-1, 75, 110}},  // 90 if reckoned from before the gap
  };
  for (const auto& run : runs) {
    muzax::TMusicClock c = MsClock();
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
  static void Start(const std::string& file, int32_t device = 0) {
    muzax::InitAudio(device);
    muzax::OpenMusic(file);
    muzax::SeekMusic(0);
    muzax::PlayMusic();
  }
  static bool WaitForEnd(int limitMs) {
    for (const auto end = Clock::now() + std::chrono::milliseconds(limitMs); Clock::now() < end;)
      if (muzax::MusicEnded()) return true;
      else SleepMs(2);
    return muzax::MusicEnded();
  }
};

TEST_F(MuzaxPlayback, LengthAndSeekAreExactAndTheEndHolds) {
  muzax::InitAudio(0);
  muzax::OpenMusic(kTone22);
  ASSERT_TRUE(muzax::MusicAvailable());
  EXPECT_EQ(muzax::MusicLength(), 2000);  // gapless: no encoder delay or padding
  muzax::OpenMusic(kTone);
  ASSERT_TRUE(muzax::MusicAvailable());
  EXPECT_EQ(muzax::MusicLength(), 3000);
  // Not playing yet: a seek lands on the exact frame and stays there.
  muzax::SeekMusic(1234);
  EXPECT_EQ(muzax::FramesConsumed(), 1234 * 441 / 10);
  SleepMs(30);
  EXPECT_EQ(muzax::MusicPosition(), 1234);

  muzax::PlayMusic();
  SleepMs(300);
  ASSERT_GT(muzax::MusicPosition(), 1400);
  muzax::SeekMusic(0);
  EXPECT_LT(muzax::MusicPosition(), 30);
  SleepMs(200);
  EXPECT_GT(muzax::MusicPosition(), 80);
  EXPECT_LT(muzax::MusicPosition(), 260);

  muzax::SeekMusic(2800);
  ASSERT_TRUE(WaitForEnd(2000));
  SleepMs(100);
  EXPECT_EQ(muzax::MusicPosition(), 3000);
  muzax::SeekMusic(0);
  EXPECT_FALSE(muzax::MusicEnded());
  EXPECT_LT(muzax::MusicPosition(), 30);
}

TEST_F(MuzaxPlayback, MissingFileIsSaidOnceAndLeavesTheFrameClock) {
  const std::string missing = (fs::temp_directory_path() / "qvl-no-such-dir" / "music.mp3").string();
  testing::internal::CaptureStderr();
  Start(missing);
  muzax::OpenMusic(missing);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(muzax::MusicAvailable());
  EXPECT_EQ(muzax::MusicPosition(), 0);
  EXPECT_FALSE(muzax::MusicEnded());
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("music.mp3"), std::string::npos) << err;
}

TEST_F(MuzaxPlayback, DamagedFilesNeverCrash) {
  std::ifstream in(kTone, std::ios::binary);
  const std::vector<char> tone{std::istreambuf_iterator<char>(in), {}};
  ASSERT_GT(tone.size(), 4000u);
  std::mt19937 rng(42);
  std::vector<char> noise(64 * 1024), holed = tone;
  for (size_t i = 0; i < noise.size(); ++i) {
    noise[i] = static_cast<char>(rng());
    if (i < 1500) holed[tone.size() / 3 + i] = noise[i];
  }
  const struct {
    std::vector<char> bytes;
    bool plays;  // enough of the tune is left to play
  } cases[] = {{{}, false},
               {noise, false},
               {{'I', 'D', '3', 4, 0, 0, 0x7f, 0x7f, 0x7f, 0x7f}, false},  // a tag claiming 256 MB
               {{tone.begin(), tone.begin() + tone.size() / 2}, true},
               {holed, true}};
  const fs::path file = fs::temp_directory_path() / ("qvl_muzax_" + std::to_string(::getpid()) + ".mp3");
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    std::ofstream(file, std::ios::binary).write(c.bytes.data(), static_cast<std::streamsize>(c.bytes.size()));
    testing::internal::CaptureStderr();
    Start(file.string());
    EXPECT_TRUE(muzax::MusicAvailable() || !c.plays);
    if (muzax::MusicAvailable()) {
      // Decode the last part to its end and seek about.
      const int32_t length = muzax::MusicLength();
      EXPECT_GT(length, 0);
      muzax::SeekMusic(std::max(0, length - 200));
      EXPECT_TRUE(WaitForEnd(3000));
      EXPECT_LE(muzax::MusicPosition(), length);
      for (int32_t ms : {length / 2, length + 1000, -50}) muzax::SeekMusic(ms);
    }
    EXPECT_EQ(muzax::MusicPosition(), 0);
    testing::internal::GetCapturedStderr();
    muzax::FreeAudio();
  }
  fs::remove(file);
}

TEST_F(MuzaxPlayback, SoundOffMakesNoAudioCallAtAll) {
  const Uint32 audioBefore = SDL_WasInit(SDL_INIT_AUDIO);
  const int32_t opensBefore = muzax::AudioOpenCount();
  muzax::FreeAudio();  // nothing was opened: harmless
  settings::SoundOff = true;
  Start(kTone);
  EXPECT_EQ(muzax::MusicPosition(), 0);
  EXPECT_FALSE(muzax::MusicAvailable());
  muzax::FreeAudio();
  settings::SoundOff = false;
  EXPECT_EQ(muzax::AudioOpenCount(), opensBefore);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), audioBefore);
}

}  // namespace
