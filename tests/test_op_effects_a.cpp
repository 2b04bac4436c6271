// Particles, Render To Texture, Image Distortion and Wobble Image against values from their descriptions.
#include <climits>

#include "opTestKit.h"
#include "operators/opEfFade.h"
#include "operators/opEffect.h"
#include "operators/opFader.h"
#include "operators/opImage.h"
#include "operators/opImgDist.h"
#include "operators/opPart1.h"
#include "operators/opWobble.h"
#include "operators/roster.h"

namespace {

using namespace optest;

enum : int32_t { typeParticles = 3, typeRenderToTexture = 5, typeImageDistortion = 6, typeWobble = 11 };

constexpr RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kWhite{255, 255, 255, 255}, kBlack{0, 0, 0, 0};

struct Particle { double pos[3], fade; };

opPart1::TParticleParams Particles(int32_t amount, int32_t xs, int32_t ys, int32_t zs, int32_t seed = 123,
                                   int32_t globalSpeed = 2000) {
  return {0, amount, seed, globalSpeed, {-2, -2, -6}, {4, 4, 4}, {1, 1, 1}, 0.1f, xs, ys, zs};
}

class OpEffectsA : public OpGLTest {
 protected:
  // Draws under an orthographic view (x and y -4..4, 32 pixels a unit) turned a quarter about z; every
  // sprite must still face the viewer, right and up on screen. Returns the centres in the cloud's space.
  static std::vector<Particle> DrawnCloud(int32_t set, int32_t time, float alpha = 1.0f) {
    glMatrixMode(GL_PROJECTION), glLoadIdentity(), glOrtho(-4, 4, -4, 4, 0, 10);
    glMatrixMode(GL_MODELVIEW), glLoadIdentity(), glRotatef(90, 0, 0, 1);
    const Prims tris = Feedback(GL_3D_COLOR, [&] { RenderOnce(typeParticles, set, 256, 256, 0.5f, alpha, time); }, 1 << 22);
    std::vector<Particle> out;
    for (size_t i = 0; i + 1 < tris.size(); i += 2) {  // quad (0, 1, 2, 3) as (0, 1, 3) and (1, 2, 3)
      const FbVertex &v0 = tris[i][0], &v1 = tris[i][1], &v2 = tris[i + 1][1];
      const double cx = (v0.x + v2.x) / 2, cy = (v0.y + v2.y) / 2;
      EXPECT_TRUE(std::fabs(v0.x - cx - 3.2) < 0.01 && std::fabs(v0.y - cy + 3.2) < 0.01 &&
                  std::fabs(v1.x - cx - 3.2) < 0.01 && std::fabs(v1.y - cy - 3.2) < 0.01);
      out.push_back({{cy / 32 - 4, 4 - cx / 32, -10.0 * v0.z}, v0.c[3]});
    }
    return out;
  }
  void Fader(uint8_t track, float r, float g, float b) { AddEvent(0, 1000, track, typeFader, AddSet(opFader::Sets(), {r, g, b, r, g, b, 1, 1})); }
};

TEST_F(OpEffectsA, CloudFollowsTheSeedAndTheTimeOnly) {
  const int32_t set = AddSet(opPart1::Sets(), Particles(40, 55, 0, -80, 32767));
  const auto got = DrawnCloud(set, -4321, 0.5f), again = DrawnCloud(set, -4321, 0.5f);
  // Worked out by hand from the generator: corner + size * f, fade ramps within 0.1 of either edge.
  const Particle want[] = {{{-0.276, 1.986, -2.232}, 0.0203}, {{-0.874, 1.342, -5.812}, 0.47},
                           {{1.68, 0.754, -4.678}, 0.8}, {{1.428, -1.864, -2.162}, 0.1377}};
  ASSERT_EQ(got.size(), 40u);
  for (size_t i = 0; i < 4; ++i) {
    const Particle& g = got[i < 3 ? i : 9];
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(g.pos[a], want[i].pos[a], 1e-3) << i << " axis " << a;
    EXPECT_NEAR(g.fade, 0.5 * want[i].fade, 1e-5) << i;
  }
  EXPECT_EQ(std::memcmp(again.data(), got.data(), got.size() * sizeof got[0]), 0);
  EXPECT_TRUE(!glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_BLEND) && GetInt(GL_BLEND_DST) == GL_ONE);
}

TEST_F(OpEffectsA, DefaultsCrossTheBoxInTwoSecondsAndNegativeSpeedsWrapUpward) {
  const int32_t set = AddSet(opPart1::Sets(), Particles(30, -100, 0, 100));
  const auto t0 = DrawnCloud(set, 300), t500 = DrawnCloud(set, 800), t2000 = DrawnCloud(set, 2300);
  int wrapped = 0;
  for (size_t i = 0; i < t0.size(); ++i) {
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(t2000[i].pos[a], t0[i].pos[a], 1e-3);
    // A quarter of the box in 500 ms: z up by 1, x down by 1, modulo 4.
    EXPECT_NEAR(std::fmod(t500[i].pos[2] - t0[i].pos[2] + 8, 4) + std::fmod(t500[i].pos[0] - t0[i].pos[0] + 8, 4), 4.0, 1e-3);
    wrapped += t500[i].pos[0] > t0[i].pos[0];
  }
  EXPECT_GT(wrapped, 0);
}

TEST_F(OpEffectsA, DamagedSetsDrawBoundedCloudsWithoutTrapping) {
  for (auto [amount, globalSpeed, sprites] : {std::array{70000, 2000, 65536}, {10, 0, 0}, {-3, 2000, 0}}) {
    EXPECT_EQ(DrawnCloud(AddSet(opPart1::Sets(), Particles(amount, 1, 2, 3, 123, globalSpeed)), 777).size(), static_cast<size_t>(sprites)) << amount;
  }
  // Modulus -1 at a time that brings some particle's x to the lowest 32-bit number, whose remainder
  // by -1 traps in 32-bit division (time found by searching the generator's draws once).
  const auto got = DrawnCloud(AddSet(opPart1::Sets(), Particles(512, 1, 1, 1, 1, -1)), -1770284800);
  ASSERT_EQ(got.size(), 512u);
  for (const Particle& q : got) EXPECT_EQ(q.fade, 0.0);
}

// Track 3 halves the alpha of track 4, which renders tracks 5 to 7 into a 64 x 64 texture: red, the
// probe, green. Track 8 shows the texture on a quad over pixels 18..238; the probe on track 9 as usual.
TEST_F(OpEffectsA, RendersTheNextTracksIntoTheTextureAndClearsTheScreen) {
  const int32_t tex = AddSolidTexture(kWhite, 64, 64);
  Fader(2, 0, 0, 1);
  AddEvent(0, 1000, 3, typeEffectFader, AddSet(opEfFade::Sets(), {0.5f, 0.5f}));
  AddEvent(0, 1000, 4, typeRenderToTexture, AddSet(opEffect::Sets(), {tex, 3}));
  Fader(5, 1, 0, 0), AddEvent(0, 1000, 6, typeProbe, 0), Fader(7, 0, 1, 0);
  AddEvent(0, 1000, 8, typeShowImage, AddSet(opImage::Sets(), {tex, 0, 0, 0.25f, 1, 0, 0, {0, 0}}));
  AddEvent(0, 1000, 9, typeProbe, 1);
  glClearColor(1, 1, 1, 1), glScalef(2, 2, 1);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  scheduler::RenderTracks(500);

  ASSERT_EQ(probeCalls.size(), 2u);
  EXPECT_EQ((std::array{probeCalls[0].Track, probeCalls[0].Width, probeCalls[1].Track, probeCalls[1].Width}), (std::array{6, 64, 9, 256}));
  EXPECT_FLOAT_EQ(probeCalls[0].Alpha, 0.5f);
  const RGBA mixed{64, 128, 0, 255};  // green at 0.5 over red at 0.5 over black
  for (auto [x, y] : {std::pair{20, 20}, {236, 236}, {128, 30}}) EXPECT_TRUE(NearRGB(ReadPixel(x, y), mixed)) << x;
  for (auto [x, y] : {std::pair{5, 5}, {60, 10}, {250, 250}}) EXPECT_EQ(ReadPixel(x, y), kBlack) << x;
  const TexLevel copy = ReadTexLevel0(texMan::TextureTable[0].GLName);
  EXPECT_TRUE(copy.w == 64 && NearRGB(copy.px.at(0), mixed));
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
}

// No tracks: a black copy; a huge count takes the followers there are; no such texture: object 0 at 256.
TEST_F(OpEffectsA, CountsAndTextureNumbersOutsideTheSliders) {
  const int32_t tex = AddSolidTexture(kWhite, 16, 16);
  const std::array<int32_t, 4> cases[] = {{tex, 0, 256, 16}, {tex, INT_MAX, 16, 16}, {99, -5, 256, 256}};
  for (auto [texture, beneath, probeWidth, copiedWidth] : cases) {
    data_.Events.clear(), probeCalls.clear(), scheduler::ResetTracks();
    Fader(0, 0, 0, 1), AddEvent(0, 1000, 2, typeProbe, 0);
    AddEvent(0, 1000, 1, typeRenderToTexture, AddSet(opEffect::Sets(), {texture, beneath}));
    scheduler::RenderTracks(0);
    ASSERT_EQ(probeCalls.size(), 1u);
    const TexLevel copy = ReadTexLevel0(texture == tex ? texMan::TextureTable[0].GLName : 0);
    EXPECT_TRUE(probeCalls[0].Width == probeWidth && copy.w == copiedWidth) << beneath;
    EXPECT_TRUE(copy.px.at(0) == (RGBA{0, 0, 0, 255}) && ReadPixel(100, 100) == kBlack) << beneath;
  }
}

// Both leave the standard perspective, the model-view matrix they found, depth test on and blending off.
void ExpectFullWindowRestored(const Matrix& projection, const Matrix& modelView) {
  EXPECT_TRUE(CurrentMatrix(GL_PROJECTION_MATRIX) == projection && CurrentMatrix(GL_MODELVIEW_MATRIX) == modelView);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_BLEND));
}

// A 2 x 1 texture, red left and green right. Strip 0 is grey 0.75 for Y 0 and black for Y 1; the top
// strip is nearly white for Y 0 and grey 1 - 1.05^2 / 4 for Y 1. The alpha handed in (0) never shows.
TEST_F(OpEffectsA, ImageDistortionStripsShadeAndShift) {
  const int32_t tex = AddTexture(2, 1, {255, 0, 0, 255, 0, 255, 0, 255}, 16, 16);
  const int shift = 39;  // one strip, pushed by 40 sin(1571 / 1000) |sin(132 / 84)| pixels, truncated
  const RGBA red75{191, 0, 0, 0}, green75{0, 191, 0, 0};
  struct Case { int32_t texture; float x, y; int32_t quality, speed; std::vector<std::tuple<int, int, RGBA>> pixels; };
  const Case cases[] = {
      {tex, 0, 0, 20, 1000, {{3, 3, red75}, {252, 3, green75}, {3, 252, kRed}, {252, 252, kGreen}}},
      {tex, 0, 1, 20, 1000, {{3, 3, kBlack}, {3, 252, {185, 0, 0, 0}}}},
      {tex, 2, 0, 1, 1000, {{shift - 2, 128, kBlack}, {shift + 2, 128, red75}, {252, 250, green75}}},
      {99, 0, 0, 20, 1000, {{3, 3, {191, 191, 191, 0}}}},  // no such texture: untextured
      {tex, 2, 0, 0, 1000, {{128, 128, kBlack}}},
  };
  glTranslatef(0, 0, -1);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX), modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RenderOnce(typeImageDistortion, AddSet(opImgDist::Sets(), {c.texture, c.x, c.y, 1, c.quality, c.speed}), 256, 256, 0.5f, 0, 132, 1571);
    for (auto [x, y, want] : c.pixels) EXPECT_TRUE(NearRGB(ReadPixel(x, y), want)) << x << "," << y;
    ExpectFullWindowRestored(projection, modelView);
  }
  const int32_t many = AddSet(opImgDist::Sets(), {tex, 0, 0, 1, 100000, 1000});
  EXPECT_EQ(Feedback(GL_2D, [&] { RenderOnce(typeImageDistortion, many); }, 1 << 21).size(), 2 * 65536u);
}

// A 4 x 4 texture of distinct colours comes out the same for every grid and every value of the four
// parameters that do not draw; Grid 0 draws nothing and a grid above 64 draws 64.
TEST_F(OpEffectsA, WobbleMapsTheTextureOnceWhateverTheGrid) {
  std::vector<uint8_t> texels;
  for (int i = 0; i < 16; ++i) texels.insert(texels.end(), {uint8_t(i % 4 * 80), uint8_t(i / 4 * 80), 200, 255});
  const int32_t tex = AddTexture(4, 4, texels, 16, 16);
  struct { uint8_t grid, blur, other; float alpha; } cases[] = {{1, 0, 0, 1}, {64, 16, 255, 1}, {200, 16, 0, 1}, {7, 3, 9, 0.5f}, {0, 2, 0, 0}};
  glTranslatef(0, 0, -1);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX), modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    RenderOnce(typeWobble, AddSet(opWobble::Sets(), {tex, c.grid, c.other, c.blur, c.other, c.other, c.other, {0, 0}}), 256, 256, 0.5f, c.grid ? c.alpha : 1);
    ExpectFullWindowRestored(projection, modelView);
    const auto f = [&](int v) { return static_cast<uint8_t>(std::lround(v * c.alpha)); };
    for (int x = 0; x < 4; ++x)
      for (int y = 0; y < 4; ++y) EXPECT_TRUE(NearRGB(ReadPixel(32 + 64 * x, 32 + 64 * y), {f(x * 80), f(y * 80), f(200), 0})) << int(c.grid);
  }
}

TEST(OpEffectsEditing, NewSetsReportTheirDefaultsAndStoresScaleAndTruncate) {
  roster::Startup(), roster::RegisterOperators();
  dllShared::fOperator& op = *registry::Operators[typeParticles];
  uint8_t kind = 99;
  const auto* s = static_cast<const dllShared::fdSlider*>(op.GetParamInfo(op.NewParamSet(), 7, &kind));
  ASSERT_NE(s, nullptr);
  EXPECT_STREQ(s->Label, "Particle Size");
  EXPECT_EQ((std::array{int32_t{kind}, s->Min, s->Max, s->Value}), (std::array{0, 1, 200, 10}));
  // Colour 33023 is (1, 128/255, 0); the size slider is hundredths; Wobble keeps the low byte.
  const int32_t values[] = {33023, 15, 300};
  op.SetParamValue(0, 4, &values[0]), op.SetParamValue(0, 7, &values[1]);
  dllShared::fOperator& wobble = *registry::Operators[typeWobble];
  wobble.SetParamValue(wobble.NewParamSet(), 1, &values[2]);
  const auto& part = opPart1::Sets()[0];
  EXPECT_EQ((std::array{part.Color.X, part.Color.Y, part.Color.Z, part.ParticleSize}), (std::array{1.0f, 128 / 255.0f, 0.0f, 0.15f}));
  EXPECT_EQ(opWobble::Sets()[0].Grid, 44);
  roster::Shutdown(), roster::Startup();
}

}  // namespace
