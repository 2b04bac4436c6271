// Particles, Render To Texture, Image Distortion and Wobble Image on the
// shared GL context. Expected values are worked out here from the effects'
// descriptions, not taken from the operators.
#include <climits>

#include "opTestKit.h"
#include "operators/opEfFade.h"
#include "operators/opEffect.h"
#include "operators/opFader.h"
#include "operators/opImage.h"
#include "operators/opImgDist.h"
#include "operators/opPart1.h"
#include "operators/opWobble.h"

namespace {

using namespace optest;

enum : int32_t { typeParticles = 3, typeRenderToTexture = 5, typeImageDistortion = 6, typeWobble = 11 };

constexpr RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kWhite{255, 255, 255, 255}, kBlack{0, 0, 0, 0};

// ---- Particles ----

struct Particle {
  double pos[3], fade;
  uint32_t xDraw;  // the draw that places it along x
};

// The cloud as its description defines it.
std::vector<Particle> Cloud(const opPart1::TParticleParams& p, int32_t time) {
  uint32_t seed = static_cast<uint32_t>(p.RandomSeed);
  auto below = [&seed](uint32_t m) {
    seed = seed * 0x08088405u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(m) * seed) >> 32);
  };
  const float corner[3] = {p.StartPos.X, p.StartPos.Y, p.StartPos.Z}, size[3] = {p.Size.X, p.Size.Y, p.Size.Z};
  const int32_t speed[3] = {p.XSpeed, p.YSpeed, p.ZSpeed};
  std::vector<Particle> out;
  for (int32_t k = 1; k <= p.Amount; ++k) {
    seed += below(static_cast<uint32_t>(k) * static_cast<uint32_t>(p.RandomSeed));
    Particle q{{}, 1.0, 0};
    for (int a = 0; a < 3; ++a) {
      const int64_t r = below(static_cast<uint32_t>(p.GlobalSpeed));
      if (a == 0) q.xDraw = static_cast<uint32_t>(r);
      const int32_t travel = static_cast<int32_t>(static_cast<int64_t>(speed[a]) * time) / 100;
      double f = std::fmod(static_cast<int32_t>(r + travel), p.GlobalSpeed) / p.GlobalSpeed;
      if (f < 0) f += 1;
      q.fade *= f < 0.1 ? f * 10 : f > 0.9 ? 1 - (f - 0.9) * 10 : 1;
      q.pos[a] = corner[a] + size[a] * f;
    }
    out.push_back(q);
  }
  return out;
}

opPart1::TParticleParams Particles(int32_t amount, int32_t xs, int32_t ys, int32_t zs, int32_t seed = 123) {
  return {0, amount, seed, 2000, {-2, -2, -6}, {4, 4, 4}, {1, 1, 1}, 0.1f, xs, ys, zs};
}

class OpEffectsA : public OpGLTest {
 protected:
  // Draws under an orthographic view (x and y -4..4, 32 pixels a unit)
  // turned a quarter about z; every sprite must still face the viewer, right
  // and up on screen. Returns the centres in the cloud's own space.
  static std::vector<Particle> DrawnCloud(int32_t set, int32_t time, float alpha = 1.0f) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -4, 4, 0, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90, 0, 0, 1);
    const Prims tris = Feedback(GL_3D_COLOR, [&] { RenderOnce(typeParticles, set, 256, 256, 0.5f, alpha, time); }, 1 << 22);
    std::vector<Particle> out;
    for (size_t i = 0; i + 1 < tris.size(); i += 2) {  // quad (0, 1, 2, 3) as (0, 1, 3) and (1, 2, 3)
      const FbVertex &v0 = tris[i][0], &v1 = tris[i][1], &v2 = tris[i + 1][1];
      const double cx = (v0.x + v2.x) / 2, cy = (v0.y + v2.y) / 2;
      EXPECT_TRUE(std::fabs(v0.x - cx - 3.2) < 0.01 && std::fabs(v0.y - cy + 3.2) < 0.01 &&
                  std::fabs(v1.x - cx - 3.2) < 0.01 && std::fabs(v1.y - cy - 3.2) < 0.01);
      out.push_back({{cy / 32 - 4, 4 - cx / 32, -10.0 * v0.z}, v0.c[3], 0});
    }
    return out;
  }
  void Fader(uint8_t track, float r, float g, float b) {
    AddEvent(0, 1000, track, typeFader, AddSet(opFader::Sets(), {r, g, b, r, g, b, 1, 1}));
  }
};
using OpParticles = OpEffectsA;

TEST_F(OpParticles, CloudFollowsTheSeedAndTheTimeOnly) {
  const std::pair<opPart1::TParticleParams, int32_t> cases[] = {
      {Particles(10, 0, 0, 100), 0},          {Particles(10, 0, 0, 100), 1234},
      {Particles(40, -37, -100, 0, 7), 98765}, {Particles(40, 55, 0, -80, 32767), -4321},
  };
  for (const auto& [p, time] : cases) {
    const int32_t set = AddSet(opPart1::Sets(), p);
    const auto want = Cloud(p, time), got = DrawnCloud(set, time, 0.5f), again = DrawnCloud(set, time, 0.5f);
    ASSERT_EQ(got.size(), want.size()) << time;
    for (size_t i = 0; i < want.size(); ++i) {
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(got[i].pos[a], want[i].pos[a], 1e-3) << i << " axis " << a;
      EXPECT_NEAR(got[i].fade, 0.5 * want[i].fade, 1e-5) << i << " at " << time;
      EXPECT_EQ(std::memcmp(&again[i], &got[i], sizeof got[i]), 0);
    }
  }
  EXPECT_TRUE(!glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_BLEND) && GetInt(GL_BLEND_DST) == GL_ONE);
}

TEST_F(OpParticles, DefaultsCrossTheBoxInTwoSecondsAndNegativeSpeedsWrapUpward) {
  const int32_t set = AddSet(opPart1::Sets(), Particles(30, -100, 0, 100));
  const auto t0 = DrawnCloud(set, 300), t500 = DrawnCloud(set, 800), t2000 = DrawnCloud(set, 2300);
  int wrapped = 0;
  for (size_t i = 0; i < t0.size(); ++i) {
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(t2000[i].pos[a], t0[i].pos[a], 1e-3);
    // A quarter of the box in 500 ms: z up by 1, x down by 1, modulo 4.
    EXPECT_NEAR(std::fmod(t500[i].pos[2] - t0[i].pos[2] + 8, 4), 1.0, 1e-3);
    EXPECT_NEAR(std::fmod(t500[i].pos[0] - t0[i].pos[0] + 8, 4), 3.0, 1e-3);
    wrapped += t500[i].pos[0] > t0[i].pos[0];
  }
  EXPECT_GT(wrapped, 0);
}

TEST_F(OpParticles, DamagedSetsDrawBoundedCloudsWithoutTrapping) {
  const std::array<int32_t, 3> cases[] = {{70000, 2000, 65536}, {10, 0, 0}, {-3, 2000, 0}};
  for (auto [amount, globalSpeed, sprites] : cases) {
    auto p = Particles(amount, 1, 2, 3);
    p.GlobalSpeed = globalSpeed;
    EXPECT_EQ(DrawnCloud(AddSet(opPart1::Sets(), p), 777).size(), static_cast<size_t>(sprites)) << amount;
  }
  // Modulus -1 at a time that brings some particle's x to the lowest 32-bit
  // number, whose remainder by -1 traps in 32-bit division.
  auto p = Particles(512, 1, 1, 1, 0);
  p.GlobalSpeed = -1;
  int32_t time = 0;
  while (time == 0 && ++p.RandomSeed)
    for (const Particle& q : Cloud(p, 0))
      if (const auto d = static_cast<int32_t>(0x80000000u - q.xDraw); time == 0 && std::abs(d) < 20000000) time = d * 100;
  const auto got = DrawnCloud(AddSet(opPart1::Sets(), p), time);
  ASSERT_EQ(got.size(), 512u);
  for (const Particle& q : got) EXPECT_EQ(q.fade, 0.0);
}

// ---- Render To Texture ----

using OpRenderToTexture = OpEffectsA;

// Track 3 halves the alpha of track 4, which renders tracks 5 to 7 into a
// 64 x 64 texture: red, the probe, green. Track 8 shows the texture on a
// quad over pixels 18..238; the probe on track 9 is drawn as usual.
TEST_F(OpRenderToTexture, RendersTheNextTracksIntoTheTextureAndClearsTheScreen) {
  const int32_t tex = AddSolidTexture(kWhite, 64, 64);
  Fader(2, 0, 0, 1);
  AddEvent(0, 1000, 3, typeEffectFader, AddSet(opEfFade::Sets(), {0.5f, 0.5f}));
  AddEvent(0, 1000, 4, typeRenderToTexture, AddSet(opEffect::Sets(), {tex, 3}));
  Fader(5, 1, 0, 0);
  AddEvent(0, 1000, 6, typeProbe, 0);
  Fader(7, 0, 1, 0);
  AddEvent(0, 1000, 8, typeShowImage, AddSet(opImage::Sets(), {tex, 0, 0, 0.25f, 1, 0, 0, {0, 0}}));
  AddEvent(0, 1000, 9, typeProbe, 1);
  glClearColor(1, 1, 1, 1);
  glScalef(2, 2, 1);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  scheduler::RenderTracks(500);

  ASSERT_EQ(probeCalls.size(), 2u);
  EXPECT_EQ((std::array{probeCalls[0].Track, probeCalls[0].Width, probeCalls[1].Track, probeCalls[1].Width}),
            (std::array{6, 64, 9, 256}));
  EXPECT_FLOAT_EQ(probeCalls[0].Alpha, 0.5f);
  const RGBA mixed{64, 128, 0, 255};  // green at 0.5 over red at 0.5 over black
  for (auto [x, y] : {std::pair{20, 20}, {236, 236}, {128, 30}}) EXPECT_TRUE(NearRGB(ReadPixel(x, y), mixed)) << x;
  for (auto [x, y] : {std::pair{5, 5}, {60, 10}, {250, 250}}) EXPECT_EQ(ReadPixel(x, y), kBlack) << x;
  const TexLevel copy = ReadTexLevel0(texMan::TextureTable[0].GLName);
  EXPECT_TRUE(copy.w == 64 && NearRGB(copy.px.at(0), mixed));
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
  std::array<GLfloat, 4> clear{};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
  EXPECT_EQ(clear, (std::array<GLfloat, 4>{0, 0, 0, 0}));
}

// No tracks rendered: a black copy; a huge count takes the followers there
// are and returns. Texture 0, or one beyond the table, is object 0 at 256.
TEST_F(OpRenderToTexture, CountsAndTextureNumbersOutsideTheSliders) {
  const int32_t tex = AddSolidTexture(kWhite, 16, 16);
  const std::array<int32_t, 4> cases[] = {{tex, 0, 256, 16}, {tex, INT_MAX, 16, 16}, {0, 1, 256, 256}, {99, -5, 256, 256}};
  for (auto [texture, beneath, probeWidth, copiedWidth] : cases) {
    data_.Events.clear();
    probeCalls.clear();
    scheduler::ResetTracks();
    Fader(0, 0, 0, 1);
    AddEvent(0, 1000, 1, typeRenderToTexture, AddSet(opEffect::Sets(), {texture, beneath}));
    AddEvent(0, 1000, 2, typeProbe, 0);
    scheduler::RenderTracks(0);
    ASSERT_EQ(probeCalls.size(), 1u);
    EXPECT_EQ(probeCalls[0].Width, probeWidth) << beneath;
    const TexLevel copy = ReadTexLevel0(texture == tex ? texMan::TextureTable[0].GLName : 0);
    EXPECT_EQ(copy.px.at(0), (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(copy.w, copiedWidth);
    EXPECT_EQ(ReadPixel(100, 100), kBlack);
  }
}

// ---- Image Distortion and Wobble Image ----

// Both leave the standard perspective, the model-view matrix they found,
// depth test on and blending off.
void ExpectFullWindowRestored(const Matrix& projection, const Matrix& modelView) {
  EXPECT_EQ(CurrentMatrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), modelView);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

using OpFullWindow = OpEffectsA;

// A 2 x 1 texture, red left and green right. Strip 0 is grey 0.75 for Y 0
// and black for Y 1; the top strip is nearly white for Y 0 and grey
// 1 - 1.05^2 / 4 for Y 1. The alpha handed in (0) never shows.
TEST_F(OpFullWindow, ImageDistortionStripsShadeAndShift) {
  const int32_t tex = AddTexture(2, 1, {255, 0, 0, 255, 0, 255, 0, 255}, 16, 16);
  // One strip, pushed by 40 sin(1571 / 1000) |sin(132 / 84)| pixels.
  const int shift = static_cast<int>(40 * std::sin(1.571) * std::fabs(std::sin(132.0 / 84.0)));
  const uint8_t top1 = static_cast<uint8_t>(std::lround(255 * (1 - 1.05 * 1.05 / 4)));
  const RGBA red75{191, 0, 0, 0}, green75{0, 191, 0, 0};
  struct Case {
    int32_t texture;
    float x, y;
    int32_t quality, speed;
    std::vector<std::tuple<int, int, RGBA>> pixels;
  } cases[] = {
      {tex, 0, 0, 20, 1000, {{3, 3, red75}, {252, 3, green75}, {3, 252, kRed}, {252, 252, kGreen}}},
      {tex, 2, 0, 20, 0, {{3, 3, red75}, {252, 3, green75}}},  // speed 0: the first wave is 0
      {tex, 0, 1, 20, 1000, {{3, 3, kBlack}, {3, 252, {top1, 0, 0, 0}}}},
      {tex, 2, 0, 1, 1000, {{shift - 2, 128, kBlack}, {shift + 2, 128, red75}, {252, 250, green75}}},
      {99, 0, 0, 20, 1000, {{3, 3, {191, 191, 191, 0}}}},  // no such texture: untextured
      {tex, 2, 0, 0, 1000, {{128, 128, kBlack}}},
  };
  glTranslatef(0, 0, -1);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX), modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RenderOnce(typeImageDistortion, AddSet(opImgDist::Sets(), {c.texture, c.x, c.y, 1, c.quality, c.speed}), 256, 256,
               0.5f, 0, 132, 1571);
    for (auto [x, y, want] : c.pixels) EXPECT_TRUE(NearRGB(ReadPixel(x, y), want)) << x << "," << y;
    ExpectFullWindowRestored(projection, modelView);
  }
  const int32_t many = AddSet(opImgDist::Sets(), {tex, 0, 0, 1, 100000, 1000});
  EXPECT_EQ(Feedback(GL_2D, [&] { RenderOnce(typeImageDistortion, many); }, 1 << 21).size(), 2 * 65536u);
}

// A 4 x 4 texture of distinct colours comes out the same for every grid and
// every value of the four parameters that do not draw; Grid 0 draws
// nothing and a grid above 64 draws 64.
TEST_F(OpFullWindow, WobbleMapsTheTextureOnceWhateverTheGrid) {
  std::vector<uint8_t> texels;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) texels.insert(texels.end(), {uint8_t(x * 80), uint8_t(y * 80), 200, 255});
  const int32_t tex = AddTexture(4, 4, texels, 16, 16);
  struct Case {
    uint8_t grid, blur, other;
    float alpha;
  } cases[] = {{1, 0, 0, 1}, {64, 16, 255, 1}, {200, 16, 0, 1}, {7, 3, 9, 0.5f}, {0, 2, 0, 0}};
  glTranslatef(0, 0, -1);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX), modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const opWobble::TWobbleParams p{tex, c.grid, c.other, c.blur, c.other, c.other, c.other, {0, 0}};
    RenderOnce(typeWobble, AddSet(opWobble::Sets(), p), 256, 256, 0.5f, c.grid ? c.alpha : 1);
    ExpectFullWindowRestored(projection, modelView);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const auto f = [&](int v) { return static_cast<uint8_t>(std::lround(v * c.alpha)); };
        EXPECT_TRUE(NearRGB(ReadPixel(32 + 64 * x, 32 + 64 * y), {f(x * 80), f(y * 80), f(200), 0})) << int(c.grid);
      }
  }
}

// ---- editing ----

TEST(OpEffectsEditing, NewSetsReportTheirDefaultsAndStoresScaleAndTruncate) {
  registry::Startup();
  registry::RegisterOperators();
  struct Row {
    int32_t type, param;
    const char* label;
    int32_t min, max, value;
  } rows[] = {{typeParticles, 7, "Particle Size", 1, 200, 10}, {typeRenderToTexture, 1, "Render beneath", 1, 15, 0},
              {typeImageDistortion, 1, "Damage", 0, 512, 512}, {typeWobble, 3, "Blur", 0, 16, 2}};
  for (const Row& r : rows) {
    dllShared::fOperator& op = *registry::Operators[r.type];
    const int32_t set = op.NewParamSet();
    uint8_t kind = 99;
    const auto* s = static_cast<const dllShared::fdSlider*>(op.GetParamInfo(set, r.param, &kind));
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s->Label, r.label);
    EXPECT_EQ((std::array{int32_t{kind}, s->Min, s->Max, s->Value}), (std::array{0, r.min, r.max, r.value}));
  }
  // Colour 33023 is (1, 128/255, 0); the size slider is hundredths; Wobble
  // keeps the low byte.
  const int32_t values[] = {33023, 15, 300};
  registry::Operators[typeParticles]->SetParamValue(0, 4, &values[0]);
  registry::Operators[typeParticles]->SetParamValue(0, 7, &values[1]);
  registry::Operators[typeWobble]->SetParamValue(0, 1, &values[2]);
  const auto& part = opPart1::Sets()[0];
  EXPECT_EQ((std::array{part.Color.X, part.Color.Y, part.Color.Z, part.ParticleSize}),
            (std::array{1.0f, 128 / 255.0f, 0.0f, 0.15f}));
  EXPECT_EQ(opWobble::Sets()[0].Grid, 44);
  registry::Shutdown();
  registry::Startup();
}

}  // namespace
