// Capture with sound: a two-second demo with music captured at 10 frames a second into PNG files with
// audio.wav, into a video through ffmpeg, and timed with --timedemo.
#include <gtest/gtest.h>

#include <cstring>

#include "imageFiles.h"
#include "capture/capture.h"
#include "player/cmdline.h"
#include "toolRun.h"

namespace {

using testutil::Quote;
const auto Shell = testutil::Run;

// End Demo starts at 2000 ms: frames 0 .. 20 at 10 a second, 2.1 s.
constexpr int kFrames = 21;
constexpr double kSeconds = 2.1;

struct Wav { uint32_t channels = 0, rate = 0, bits = 0; std::vector<int16_t> samples; };

Wav ReadWav(const std::filesystem::path& path) {
  const auto b = testutil::ReadAll(path);
  Wav w;
  if (b.size() < 44 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 36, "data", 4) != 0) return w;
  auto le = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
  };
  w.channels = le(22, 2), w.rate = le(24, 4), w.bits = le(34, 2);
  w.samples.resize(std::min<size_t>(le(40, 4), b.size() - 44) / 2);
  for (size_t i = 0; i < w.samples.size(); ++i) w.samples[i] = static_cast<int16_t>(le(44 + 2 * i, 2));
  return w;
}

class CaptureAV : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = testutil::TempDir("capture-av");
    const std::filesystem::path src(QVL_SOURCE_DIR);
    std::filesystem::copy_file(src / "examples" / "logo.bmp", dir / "logo.bmp");
    std::filesystem::copy_file(src / "tests" / "data" / "tone.mp3", dir / "music.mp3");
    const auto r = Shell(Quote(QVL_TOOL_PATH) + " build " + Quote((src / "tests" / "data" / "avdemo.json").string()) + " -o " + Quote((dir / "demo.qvl").string()));
    ASSERT_EQ(r.status, 0) << r.err;
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir); }
  static testutil::RunResult Player(const std::string& args) { return Shell(Quote(QVL_PLAYER_PATH) + " -C " + Quote(dir.string()) + " " + args); }
  static inline std::filesystem::path dir;
};

TEST_F(CaptureAV, VideoHasTheFramesAndTheSoundOfThePngCapture) {
  if (Shell("command -v ffmpeg && command -v ffprobe").status != 0) GTEST_SKIP() << "no ffmpeg";
  auto r = Player("--capture x.mp4 --rate 10 --size 320x240");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Player("--capture frames --rate 10 --size 320x240");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const auto& e : std::filesystem::directory_iterator(dir))  // no temporary files beside the video
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();

  const std::string video = Quote((dir / "x.mp4").string());
  r = Shell("ffprobe -v error -count_frames -of csv=p=0 -show_entries stream=codec_type,nb_read_frames,duration " + video);
  ASSERT_EQ(r.status, 0) << r.err;
  char type1[16] = {}, type2[16] = {};
  double d1 = 0, d2 = 0;
  long n1 = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "%15[a-z],%lf,%ld\n%15[a-z],%lf", type1, &d1, &n1, type2, &d2), 5) << r.out;
  EXPECT_EQ(std::string(type1) + " " + type2, "video audio");
  EXPECT_TRUE(n1 == kFrames && std::abs(d1 - kSeconds) < 0.1 && std::abs(d2 - kSeconds) < 0.1) << r.out;

  // Frame 10 decoded from the video against the PNG of the same time: the whole picture, so a flipped
  // or shifted frame fails as well as a wrong colour.
  const auto raw = dir / "frame10.rgb";
  r = Shell("ffmpeg -v error -y -i " + video + " -vf 'select=eq(n\\,10)' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + Quote(raw.string()));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto decoded = testutil::ReadAll(raw);
  const auto png = testimg::ReadPng((dir / "frames" / "000010.png").c_str());
  ASSERT_TRUE(decoded.size() == png.px.size() * 3 && png.px.size() == 320u * 240u) << decoded.size();
  double diff = 0;
  for (size_t i = 0; i < png.px.size(); ++i) {
    const uint8_t* d = &decoded[3 * i];
    diff += std::abs(d[0] - png.px[i].r) + std::abs(d[1] - png.px[i].g) + std::abs(d[2] - png.px[i].b);
  }
  EXPECT_LT(diff / static_cast<double>(decoded.size()), 4.0);
}

TEST_F(CaptureAV, AudioWavIsTheMusicOfTheCapturedSpan) {
  auto r = Player("--capture from0 --rate 10 --size 64x48");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Player("--capture from500 --rate 10 --size 64x48 --from 500");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav whole = ReadWav(dir / "from0" / "audio.wav"), late = ReadWav(dir / "from500" / "audio.wav");
  EXPECT_EQ((std::array{whole.channels, whole.rate, whole.bits}), (std::array{2u, 44100u, 16u}));
  EXPECT_EQ(whole.samples.size(), 2u * 92610u);  // 2.1 s
  // From 500 ms, End Demo at 2000 stops after 16 frames: 1.6 s, the same sound as the whole capture
  // half a second in.
  ASSERT_EQ(late.samples.size(), 2u * 70560u);
  int worst = 0, loudest = 0;  // the tune is audible, not silence
  for (size_t i = 0; i < late.samples.size(); ++i)
    worst = std::max(worst, std::abs(late.samples[i] - whole.samples[i + 2 * 22050])), loudest = std::max(loudest, std::abs(int{late.samples[i]}));
  EXPECT_TRUE(worst <= 2 && loudest > 3000) << worst << " " << loudest;
}

TEST_F(CaptureAV, TimedemoCountsTheFramesCaptureWouldRender) {
  // 60 a second up to End Demo; --to stops first
  for (auto [args, frames] : {std::pair{"--timedemo --size 64x48", 121}, {"--timedemo --rate 10 --from 500 --to 1000", 6}}) {
    const auto r = Player(args);
    EXPECT_TRUE(r.status == 0 && r.out.find("timedemo: " + std::to_string(frames) + " frames in ") != std::string::npos &&
                r.out.find("median") != std::string::npos) << args << ": " << r.out << r.err;
  }
}

TEST(CaptureStats, FrameTimes) {
  const struct { std::vector<double> ms; double min, median, p99, max; } cases[] = {
      {{}, 0, 0, 0, 0}, {{5, 1, 3}, 1, 3, 5, 5}, {{4, 1, 3, 2}, 1, 2.5, 4, 4}};
  for (const auto& c : cases) {
    const auto t = capture::Summarize(c.ms);
    EXPECT_EQ((std::array{t.Min, t.Median, t.P99, t.Max}), (std::array{c.min, c.median, c.p99, c.max}));
  }
  // 200 frames: the 99th percentile is the 198th, so two slow frames of 200 do not make it.
  std::vector<double> many(200, 1.0);
  many[7] = many[9] = 50;
  EXPECT_EQ(capture::Summarize(many).P99, 1.0);
}

TEST(CaptureCmdline, TimedemoAndVideoOptions) {
  const struct { std::vector<std::string> args; bool ok; int32_t rate; bool video; } cases[] = {
      {{"qvlplay", "--timedemo", "--rate", "25", "--size", "320x240"}, true, 25, false},
      {{"qvlplay", "--capture", "out.MKV", "--rate", "30"}, true, 30, true}, {{"qvlplay", "--capture", "frames.mp4dir", "--rate", "30"}, true, 30, false},
      {{"qvlplay", "--timedemo", "--capture", "d", "--rate", "5"}, false, 0, false}, {{"qvlplay", "--timedemo", "--windowed"}, false, 0, false}};
  for (const auto& c : cases) {
    cmdline::TOptions o;
    std::string error;
    ASSERT_EQ(cmdline::Parse(c.args, o, error), c.ok) << c.args[1] << " " << error;
    EXPECT_TRUE(!c.ok || (o.Rate == c.rate && o.CaptureVideo == c.video)) << c.args[2];
  }
}

}  // namespace
