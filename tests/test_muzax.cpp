// The music clock, real playback of short MP3s on SDL's dummy audio driver, and low-bitrate streams made
// with lame: seeks, mono/stereo switches and a rate change.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <thread>

#include "demoWriter.h"
#include "engine/settings.h"
#include "platform/muzax.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
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

// Two seconds of 30 ms bursts (a tone and noise, a fifth higher on the right) every 250 ms, made an MP3 by
// lame with no tag frame: the quiet fills the bit reservoir, each burst draws on it up to five frames back.
std::string MakeMp3(const fs::path& dir, int rate, int kbps, bool stereo) {
  std::vector<int16_t> pcm;
  uint32_t noise = 1;
  for (int i = 0; i < 2 * rate; ++i)
    for (int c = 0; c <= stereo; ++c) {
      const double t = std::fmod(static_cast<double>(i) / rate, 0.25), f = 220 * (1 + i * 4 / rate % 5 * 0.25) * (1 + 0.5 * c);
      noise = noise * 1103515245 + 12345;
      pcm.push_back(static_cast<int16_t>(t < 0.03 ? std::lrint(16000 * std::sin(2 * M_PI * f * t) + 12800 * ((noise >> 16) / 32768.0 - 1)) : 0));
    }
  const std::string name = (dir / (std::to_string(rate) + (stereo ? "s" : "m"))).string(), khz = std::to_string(rate / 1000);
  testutil::WriteAll(name + ".raw", Bytes(reinterpret_cast<uint8_t*>(pcm.data()), reinterpret_cast<uint8_t*>(pcm.data() + pcm.size())));
  const std::string lame = "lame --quiet -r --signed --little-endian --bitwidth 16 -s " + khz + " --resample " + khz + " -t --cbr -b " +
                           std::to_string(kbps) + " -m " + (stereo ? "s " : "m ") + name + ".raw " + name + ".mp3";
  EXPECT_EQ(std::system(lame.c_str()), 0) << lame;
  return name + ".mp3";
}

std::vector<int16_t> Decode(const std::string& file, int32_t fromMs, int32_t ms) {
  muzax::TPcm pcm;
  std::string error;
  EXPECT_TRUE(muzax::DecodeSpan(file, fromMs, ms, 1000, pcm, error)) << error;
  return pcm.Samples;
}

// From sample `at` on, `whole` holds `part` within one step.
bool SameFrom(const std::vector<int16_t>& whole, size_t at, const std::vector<int16_t>& part) {
  return at + part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin() + static_cast<ptrdiff_t>(at),
                                                        [](int a, int b) { return std::abs(a - b) <= 1; });
}

TEST(MuzaxStreams, SeeksIntoLowBitrateStreamsGiveTheSamplesOfDecodingFromTheStart) {
  const fs::path dir = testutil::TempDir("lowrate");
  for (auto [rate, kbps] : {std::pair{8000, 8}, {16000, 16}})
    for (bool stereo : {false, true}) {
      const std::string file = MakeMp3(dir, rate, kbps, stereo);
      const std::vector<int16_t> whole = Decode(file, 0, 2500);
      for (int32_t ms = 0; ms < 2000; ms += 10)  // every burst's start is among them
        ASSERT_TRUE(SameFrom(whole, static_cast<size_t>(ms * rate / 500), Decode(file, ms, 60))) << file << " from " << ms << " ms";
    }
}

// Mono then stereo at 16 kHz: the stereo half plays (left and right differ), a seek into it gives the samples
// of playing through, the player decodes it all. Then 16 then 8 kHz: the music ends at the change, as if the
// file ended there, and each decoder says so once, with the time.
TEST(MuzaxStreams, ModeSwitchesPlayOnAndARateChangeEndsTheMusicThere) {
  const fs::path dir = testutil::TempDir("switch");
  const std::string monoFile = MakeMp3(dir, 16000, 16, false), modes = (dir / "modes.mp3").string(), rates = (dir / "rates.mp3").string();
  const Bytes mono = testutil::ReadAll(monoFile), stereo = testutil::ReadAll(MakeMp3(dir, 16000, 16, true)),
              low = testutil::ReadAll(MakeMp3(dir, 8000, 8, false));
  Bytes joined = mono;
  testutil::WriteAll(modes, (joined.insert(joined.end(), stereo.begin(), stereo.end()), joined));
  muzax::OpenMusicBytes(mono, "mono.mp3");
  const int32_t monoMs = muzax::MusicLength();
  const std::vector<int16_t> whole = Decode(modes, 0, 5000);
  int differ = 0;
  for (size_t i = static_cast<size_t>(monoMs) * 32; i + 1 < whole.size(); i += 2) differ += whole[i] != whole[i + 1];
  EXPECT_GT(differ, 10000);
  for (int32_t ms : {2100, 2510, 3333, 4000}) EXPECT_TRUE(SameFrom(whole, static_cast<size_t>(ms) * 32, Decode(modes, ms, 60))) << ms;
  muzax::OpenMusicBytes(joined, "modes.mp3");
  EXPECT_TRUE(muzax::MusicLength() == 2 * monoMs && std::abs(muzax::DecodeWithoutDevice(441000) - 2 * monoMs * 44.1) < 50);

  joined = mono, joined.insert(joined.end(), low.begin(), low.end()), testutil::WriteAll(rates, joined);
  testing::internal::CaptureStderr();
  EXPECT_EQ(Decode(rates, 0, 4000), Decode(monoFile, 0, 4000));
  EXPECT_EQ(Decode(rates, 3000, 100), std::vector<int16_t>(3200, 0));  // a seek past the change
  muzax::OpenMusicBytes(joined, "rates.mp3");
  EXPECT_LT(std::abs(muzax::DecodeWithoutDevice(441000) - monoMs * 44.1), 50);
  muzax::FreeAudio();
  const std::string err = testing::internal::GetCapturedStderr();
  char at[64];
  std::snprintf(at, sizeof at, "from 16000 Hz to 8000 Hz at %.3f s", monoMs / 1000.0);
  EXPECT_TRUE(std::count(err.begin(), err.end(), '\n') == 3 && err.find(at) != err.rfind(at) &&
              err.find("from 16000 Hz to 8000 Hz before 3.000 s") != std::string::npos) << err;
}

}  // namespace
