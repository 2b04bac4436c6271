// The music clock: rounding, the sample clock driven by made-up ticks, and real
// playback of short MP3s on SDL's dummy audio driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Playback tests run on SDL's dummy driver, never on a real sound card.
void UseDummyAudio() { ::setenv("SDL_AUDIODRIVER", "dummy", 0); }

// ---------------------------------------------------------------- rounding

TEST(MuzaxClock, MillisecondsAreRoundedHalfToEven) {
  // At 1000 frames a second the halves are exact.
  EXPECT_EQ(muzax::FramesToMs(0.5, 1000), 0);
  EXPECT_EQ(muzax::FramesToMs(1.5, 1000), 2);
  EXPECT_EQ(muzax::FramesToMs(2.5, 1000), 2);
  EXPECT_EQ(muzax::FramesToMs(2.5001, 1000), 3);
  // 1.9996 s, 2.0 s and 0.0004 s at 44100: rounded, not truncated.
  EXPECT_EQ(muzax::FramesToMs(1.9996 * 44100, 44100), 2000);
  EXPECT_EQ(muzax::FramesToMs(2.0 * 44100, 44100), 2000);
  EXPECT_EQ(muzax::FramesToMs(0.0004 * 44100, 44100), 0);
  EXPECT_EQ(muzax::FramesToMs(44, 44100), 1);  // 0.998 ms
}

// ---------------------------------------------------------------- the sample clock

// A device that asks for 1024 frames every period; ticks are microseconds.
// Its true playing position: buffer k starts playing at period k + 1.
constexpr double kPeriodUs = 1024.0 * 1e6 / 44100.0;
double TrueFrames(uint64_t us) { return std::max(0.0, us / kPeriodUs - 1) * 1024; }

TEST(MuzaxClock, FollowsTheTimerSmoothlyThroughLateCallbacks) {
  muzax::TMusicClock c;
  c.ticksPerSecond = 1e6;
  muzax::ClockSeek(c, 0, 0);
  // Callbacks wake up to 3 ms late, as a busy machine makes them.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> late(0, 3000);
  int k = 0;
  uint64_t nextCallback = 0;
  double last = 0;
  double largestStep = 0, largestLag = 0;
  for (uint64_t us = 0; us <= 2'000'000; us += 1000) {
    while (nextCallback <= us) {
      muzax::ClockCallback(c, 1024, 1024, nextCallback);
      ++k;
      nextCallback = static_cast<uint64_t>(k * kPeriodUs + late(rng));
    }
    const double f = muzax::ClockFrames(c, us);
    ASSERT_GE(f, last) << "at " << us << " us";
    ASSERT_LE(f, TrueFrames(us) + 1) << "ahead of the device at " << us << " us";
    if (us > 100'000) {
      largestStep = std::max(largestStep, f - last);
      largestLag = std::max(largestLag, TrueFrames(us) - f);
    }
    last = f;
  }
  // Each 1 ms read moves 44.1 frames; a late wake-up must not show as a hold
  // followed by a jump, nor pull the clock behind by the whole lateness.
  EXPECT_LT(largestStep, 1.2 * 44.1);
  EXPECT_LT(largestLag, 1.5 * 44.1);
}

TEST(MuzaxClock, HoldsBeforePlaybackAndWhenTheDeviceStalls) {
  muzax::TMusicClock c;
  c.ticksPerSecond = 1000;  // ticks are ms
  c.rate = 1000;            // frames are ms
  muzax::ClockSeek(c, 0, 0);
  EXPECT_EQ(muzax::ClockFrames(c, 50), 0);
  muzax::ClockCallback(c, 20, 20, 100);  // frames 0..19 go to the device
  EXPECT_EQ(muzax::ClockFrames(c, 110), 0);
  muzax::ClockCallback(c, 20, 20, 120);  // they start playing
  muzax::ClockCallback(c, 20, 20, 140);
  EXPECT_EQ(muzax::ClockFrames(c, 150), 30);
  // The device stops asking: the clock holds at what it was given.
  EXPECT_EQ(muzax::ClockFrames(c, 500), 60);
  // A read with an older tick never goes back.
  EXPECT_EQ(muzax::ClockFrames(c, 145), 60);
}

TEST(MuzaxClock, AShortBufferDropsTheOldAnchors) {
  muzax::TMusicClock c;
  c.ticksPerSecond = 1000;
  c.rate = 1000;
  muzax::ClockSeek(c, 0, 0);
  muzax::ClockCallback(c, 20, 20, 0);
  muzax::ClockCallback(c, 20, 20, 20);
  muzax::ClockCallback(c, 5, 20, 40);    // the ring ran dry: 5 frames, then silence
  muzax::ClockCallback(c, 20, 20, 60);   // frames 40..44 play from 60, then silence
  EXPECT_EQ(muzax::ClockFrames(c, 62), 22 + 20);
  EXPECT_EQ(muzax::ClockFrames(c, 75), 45);
  muzax::ClockCallback(c, 20, 20, 80);   // frame 45 plays from 80
  muzax::ClockCallback(c, 20, 20, 100);
  // Reckoned from before the gap the clock would stand at 90.
  EXPECT_EQ(muzax::ClockFrames(c, 110), 75);
}

TEST(MuzaxClock, SeeksAndStopsAtTheEndOfTheTrack) {
  muzax::TMusicClock c;
  c.ticksPerSecond = 1000;
  c.rate = 1000;
  muzax::ClockSeek(c, 50, 0);
  c.endFrame = 100;
  EXPECT_EQ(muzax::ClockFrames(c, 0), 50);
  EXPECT_EQ(c.handed, 50);
  muzax::ClockCallback(c, 30, 30, 10);
  muzax::ClockCallback(c, 20, 30, 40);   // the last 20 frames
  EXPECT_EQ(muzax::ClockFrames(c, 45), 55);
  // Nothing but silence after the end; no one reads until long after.
  muzax::ClockCallback(c, 0, 30, 70);
  muzax::ClockCallback(c, 0, 30, 100);
  muzax::ClockCallback(c, 0, 30, 130);
  EXPECT_EQ(muzax::ClockFrames(c, 10'000), 100);
  // A seek may go back.
  muzax::ClockSeek(c, 0, 10'000);
  EXPECT_EQ(muzax::ClockFrames(c, 10'001), 0);
}

// ---------------------------------------------------------------- playback

class MuzaxPlayback : public testing::Test {
 protected:
  void SetUp() override {
    UseDummyAudio();
    settings::SoundOff = false;
    settings::SoundDevice = 0;
  }
  void TearDown() override { muzax::FreeAudio(); }

  void Start(const std::string& file, int32_t device = 0) {
    muzax::InitAudio(device);
    muzax::OpenMusic(file);
    muzax::SeekMusic(0);
    muzax::PlayMusic();
  }

  // Waits for the end, at most `limitMs`.
  static bool WaitForEnd(int limitMs) {
    const auto t0 = Clock::now();
    while (!muzax::MusicEnded()) {
      if (MsSince(t0) > limitMs) return false;
      SleepMs(2);
    }
    return true;
  }
};

TEST_F(MuzaxPlayback, LengthAndSeekAreExact) {
  muzax::InitAudio(0);
  muzax::OpenMusic(kTone);
  ASSERT_TRUE(muzax::MusicAvailable());
  // Without gapless decoding the encoder delay and padding would add ~50 ms.
  EXPECT_EQ(muzax::MusicLength(), 3000);
  // Not playing yet: a seek lands on the exact frame and stays there.
  muzax::SeekMusic(1234);
  EXPECT_EQ(muzax::FramesConsumed(), 1234 * 441 / 10);
  EXPECT_EQ(muzax::MusicPosition(), 1234);
  SleepMs(30);
  EXPECT_EQ(muzax::MusicPosition(), 1234);
  muzax::OpenMusic(kTone22);
  ASSERT_TRUE(muzax::MusicAvailable());
  EXPECT_EQ(muzax::MusicLength(), 2000);
}

TEST_F(MuzaxPlayback, PositionFollowsRealTimeMonotonicallyAndSmoothly) {
  Start(kTone);
  ASSERT_TRUE(muzax::MusicAvailable());
  const auto t0 = Clock::now();
  int32_t last = muzax::MusicPosition();
  EXPECT_LE(last, 1);
  auto lastAt = t0;
  double worstExcess = 0;  // position step beyond the wall time that passed
  while (MsSince(t0) < 600) {
    SleepMs(1);
    const int32_t p = muzax::MusicPosition();
    const auto now = Clock::now();
    ASSERT_GE(p, last);
    const double wall = std::chrono::duration<double, std::milli>(now - lastAt).count();
    worstExcess = std::max(worstExcess, (p - last) - wall);
    last = p;
    lastAt = now;
  }
  EXPECT_LT(worstExcess, 8.0);  // a jump of a device buffer (23 ms) would show
  // ~600 ms played, less what the device holds (two 1024-frame buffers, 46 ms).
  const double wall = MsSince(t0);
  EXPECT_GT(last, wall - 150);
  EXPECT_LE(last, wall + 10);
  EXPECT_FALSE(muzax::MusicEnded());
}

TEST_F(MuzaxPlayback, SeekToZeroRestartsFromTheBeginning) {
  Start(kTone);
  ASSERT_TRUE(muzax::MusicAvailable());
  SleepMs(400);
  ASSERT_GT(muzax::MusicPosition(), 200);
  muzax::SeekMusic(0);
  EXPECT_LT(muzax::MusicPosition(), 30);
  SleepMs(200);
  const int32_t p = muzax::MusicPosition();
  EXPECT_GT(p, 80);
  EXPECT_LT(p, 260);
}

TEST_F(MuzaxPlayback, StopsAtTheEndAndPlaysAgainAfterSeek) {
  Start(kTone);
  muzax::SeekMusic(2800);
  ASSERT_TRUE(WaitForEnd(2000));
  EXPECT_EQ(muzax::MusicPosition(), 3000);
  SleepMs(100);
  EXPECT_EQ(muzax::MusicPosition(), 3000);
  EXPECT_TRUE(muzax::MusicEnded());
  muzax::SeekMusic(0);
  EXPECT_FALSE(muzax::MusicEnded());
  EXPECT_LT(muzax::MusicPosition(), 30);
  SleepMs(150);
  EXPECT_GT(muzax::MusicPosition(), 30);
}

TEST_F(MuzaxPlayback, ResampledFileKeepsTime) {
  Start(kTone22);
  ASSERT_TRUE(muzax::MusicAvailable());
  const auto t0 = Clock::now();
  SleepMs(400);
  const int32_t p = muzax::MusicPosition();
  const double wall = MsSince(t0);
  EXPECT_GT(p, wall - 150);
  EXPECT_LE(p, wall + 10);
  muzax::SeekMusic(1800);
  ASSERT_TRUE(WaitForEnd(2000));
  EXPECT_NEAR(muzax::MusicPosition(), 2000, 2);
}

TEST_F(MuzaxPlayback, UnknownDeviceNumberFallsBackToTheDefaultOutput) {
  const auto devices = muzax::PlaybackDevices();
  testing::internal::CaptureStderr();
  Start(kTone, static_cast<int32_t>(devices.size()) + 5);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("not found"), std::string::npos) << err;
  EXPECT_TRUE(muzax::MusicAvailable());
}

// ---------------------------------------------------------------- failures

class MuzaxFailures : public MuzaxPlayback {
 protected:
  void SetUp() override {
    MuzaxPlayback::SetUp();
    dir_ = fs::temp_directory_path() / ("qvl_muzax_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    std::ifstream in(kTone, std::ios::binary);
    tone_.assign(std::istreambuf_iterator<char>(in), {});
    ASSERT_GT(tone_.size(), 4000u);
  }
  void TearDown() override {
    MuzaxPlayback::TearDown();
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::vector<char>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  fs::path dir_;
  std::vector<char> tone_;
};

TEST_F(MuzaxFailures, MissingFileIsSaidOnceAndLeavesTheFrameClock) {
  testing::internal::CaptureStderr();
  muzax::InitAudio(0);
  muzax::OpenMusic((dir_ / "music.mp3").string());
  muzax::SeekMusic(0);
  muzax::PlayMusic();
  muzax::OpenMusic((dir_ / "music.mp3").string());
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(muzax::MusicAvailable());
  EXPECT_EQ(muzax::MusicPosition(), 0);
  EXPECT_FALSE(muzax::MusicEnded());
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("music.mp3"), std::string::npos) << err;
}

TEST_F(MuzaxFailures, DamagedFilesNeverCrash) {
  std::mt19937 rng(42);
  std::vector<char> noise(64 * 1024);
  for (char& c : noise) c = static_cast<char>(rng());
  std::vector<char> truncated(tone_.begin(), tone_.begin() + tone_.size() / 2);
  std::vector<char> holed = tone_;
  for (size_t i = holed.size() / 3; i < holed.size() / 3 + 1500; ++i) holed[i] = static_cast<char>(rng());
  std::vector<char> noHeader = tone_;
  std::fill(noHeader.begin(), noHeader.begin() + 600, '\0');
  std::vector<char> sprinkled = tone_;
  for (size_t i = 0; i < sprinkled.size(); i += 97) sprinkled[i] = static_cast<char>(rng());
  std::vector<char> onlyTag = {'I', 'D', '3', 4, 0, 0, 0x7f, 0x7f, 0x7f, 0x7f};  // claims 256 MB
  struct Case {
    const char* name;
    std::vector<char> bytes;
    bool plays;  // enough of the tune is left to play
  };
  const std::vector<Case> cases = {
      {"empty.mp3", {}, false},         {"noise.mp3", noise, false},
      {"onlytag.mp3", onlyTag, false},  {"truncated.mp3", truncated, true},
      {"holed.mp3", holed, true},       {"noheader.mp3", noHeader, true},
      {"sprinkled.mp3", sprinkled, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::internal::CaptureStderr();
    Start(Write(c.name, c.bytes));
    if (c.plays) {
      EXPECT_TRUE(muzax::MusicAvailable());
    }
    if (muzax::MusicAvailable()) {
      // Decode the last part to its end and seek about.
      const int32_t length = muzax::MusicLength();
      EXPECT_GT(length, 0);
      muzax::SeekMusic(std::max(0, length - 200));
      EXPECT_TRUE(WaitForEnd(3000));
      EXPECT_LE(muzax::MusicPosition(), length);
      muzax::SeekMusic(length / 2);
      muzax::SeekMusic(length + 1000);
      muzax::SeekMusic(-50);
    }
    EXPECT_EQ(muzax::MusicPosition(), 0);
    testing::internal::GetCapturedStderr();
    muzax::FreeAudio();
  }
}

// ---------------------------------------------------------------- sound off

TEST(MuzaxSoundOff, NoAudioCallAtAll) {
  const Uint32 audioBefore = SDL_WasInit(SDL_INIT_AUDIO);
  const int32_t opensBefore = muzax::AudioOpenCount();
  // Freeing what was never opened is harmless and touches nothing.
  muzax::FreeAudio();
  settings::SoundOff = true;
  muzax::InitAudio(0);
  muzax::OpenMusic(kTone);
  muzax::SeekMusic(0);
  muzax::PlayMusic();
  EXPECT_EQ(muzax::MusicPosition(), 0);
  EXPECT_FALSE(muzax::MusicAvailable());
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), audioBefore);
  muzax::FreeAudio();
  settings::SoundOff = false;
  EXPECT_EQ(muzax::AudioOpenCount(), opensBefore);
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), audioBefore);
}

// ---------------------------------------------------------------- measurement

// Ten seconds of playback on the dummy driver, the position read every
// millisecond. Prints the largest step between reads and how far the
// position is from the time of the frames the device has taken. Slow, so off
// by default: --gtest_also_run_disabled_tests --gtest_filter='*MuzaxMeasure*'
TEST(MuzaxMeasure, DISABLED_TenSecondsOnTheDummyDriver) {
  const fs::path file = fs::temp_directory_path() / "qvl_muzax_long.mp3";
  const std::string cmd = "bash '" + std::string(QVL_SOURCE_DIR) +
                          "/scripts/make-test-music.sh' '" + file.string() + "' 11";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  UseDummyAudio();
  settings::SoundOff = false;
  muzax::InitAudio(0);
  muzax::OpenMusic(file.string());
  muzax::SeekMusic(0);
  muzax::PlayMusic();
  ASSERT_TRUE(muzax::MusicAvailable());
  const auto t0 = Clock::now();
  int32_t last = muzax::MusicPosition();
  int largestStep = 0, backwards = 0;
  double largestExcess = -1e9, largestGap = 0;  // step less wall time between reads; wall gap
  auto lastAt = Clock::now();
  double largestAhead = -1e9, largestBehind = -1e9, sumBehind = 0;
  int reads = 0;
  auto next = t0;
  while (MsSince(t0) < 10'000) {
    next += std::chrono::milliseconds(1);
    std::this_thread::sleep_until(next);
    const int32_t p = muzax::MusicPosition();
    const double consumed = muzax::FramesConsumed() * 1000.0 / muzax::kOutputRate;
    const auto at = Clock::now();
    const double gap = std::chrono::duration<double, std::milli>(at - lastAt).count();
    lastAt = at;
    if (p < last) ++backwards;
    const int step = p - last;
    largestExcess = std::max(largestExcess, step - gap);
    largestGap = std::max(largestGap, gap);
    largestStep = std::max(largestStep, step);
    largestBehind = std::max(largestBehind, consumed - p);
    largestAhead = std::max(largestAhead, p - consumed);
    sumBehind += consumed - p;
    ++reads;
    last = p;
  }
  muzax::FreeAudio();
  fs::remove(file);
  std::printf("reads: %d over %.0f ms wall, final position %d ms\n", reads, MsSince(t0), last);
  std::printf("largest step between successive reads: %d ms; backwards steps: %d\n", largestStep,
              backwards);
  std::printf("largest wall time between reads: %.2f ms; largest step beyond the wall time "
              "between its reads: %.2f ms\n",
              largestGap, largestExcess);
  std::printf("position behind the frames consumed: largest %.2f ms, mean %.2f ms; "
              "largest ahead %.2f ms\n",
              largestBehind, sumBehind / reads, largestAhead);
  EXPECT_EQ(backwards, 0);
}

}  // namespace
