// Particles, Render To Texture, Image Distortion and Wobble Image on the
// shared GL context. Expected values are worked out here from the effects'
// descriptions, not taken from the operators.
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

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

constexpr RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255},
    kBlack{0, 0, 0, 0};

// Binds a fresh instance and renders it once in the 256 x 256 window.
void Draw(int32_t type, int32_t set, int32_t time = 0, int32_t elapsed = 0, float alpha = 1.0f) {
  dllShared::fOperator& op = *registry::Operators[type];
  const int32_t slot = op.CreateInstance(set);
  ASSERT_GE(slot, 0);
  op.Render(static_cast<uint8_t>(slot), 256, 256, time, elapsed, 0.5f, alpha);
  op.FreeInstance(static_cast<uint8_t>(slot));
}

struct FbVertex {
  float x, y, z, r, g, b, a;
};

// The quads `draw` sends, in window coordinates with their colours. Mesa
// feeds a quad (0, 1, 2, 3) back as the triangles (0, 1, 3) and (1, 2, 3).
std::vector<std::vector<FbVertex>> Feedback(const std::function<void()>& draw, size_t capacity = 1 << 16) {
  std::vector<GLfloat> buf(capacity);
  glFeedbackBuffer(static_cast<GLsizei>(capacity), GL_3D_COLOR, buf.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint n = glRenderMode(GL_RENDER);
  std::vector<std::vector<FbVertex>> polys;
  for (GLint i = 0; i < n && buf[i] == GL_POLYGON_TOKEN;) {
    const auto count = static_cast<size_t>(buf[i + 1]);
    std::vector<FbVertex> poly(count);
    std::memcpy(poly.data(), &buf[i + 2], sizeof(FbVertex) * count);
    i += 2 + 7 * static_cast<GLint>(count);
    if (count == 3 && !polys.empty() && polys.back().size() == 3)
      polys.back() = {polys.back()[0], polys.back()[1], poly[1], polys.back()[2]};
    else
      polys.push_back(poly);
  }
  return polys;
}

template <class Params>
int32_t Add(std::vector<Params>& sets, const Params& p) {
  sets.push_back(p);
  return static_cast<int32_t>(sets.size() - 1);
}

// ---- Particles ----

// The cloud as its description defines it: places and the product of the
// three fades.
struct Particle {
  double pos[3], fade;
  uint32_t xDraw;  // the draw that places it along x
};
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
      const double v = static_cast<int32_t>(r + travel);
      double f = std::fmod(v, p.GlobalSpeed) / p.GlobalSpeed;
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

// Eye space x and y in -4..4 and z in -10..0 fill the 256 x 256 window;
// sprite centres come back in eye space with their alphas.
void BoxView() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-4, 4, -4, 4, 0, 10);
  glMatrixMode(GL_MODELVIEW);
}
std::vector<Particle> DrawnCloud(int32_t set, int32_t time, float alpha = 1.0f) {
  BoxView();
  std::vector<Particle> out;
  for (const auto& poly : Feedback([&] { Draw(typeParticles, set, time, 0, alpha); }, 1 << 22)) {
    Particle q{{}, poly[0].a, 0};
    for (const FbVertex& v : poly) {
      q.pos[0] += (v.x / 32.0 - 4) / static_cast<double>(poly.size());
      q.pos[1] += (v.y / 32.0 - 4) / static_cast<double>(poly.size());
      q.pos[2] += -10.0 * v.z / static_cast<double>(poly.size());
    }
    out.push_back(q);
  }
  return out;
}

using OpParticles = OpGLTest;

TEST_F(OpParticles, CloudMatchesTheGeneratorAtAnyTime) {
  struct Case {
    opPart1::TParticleParams p;
    int32_t time;
  } cases[] = {
      {Particles(10, 0, 0, 100), 0},        {Particles(10, 0, 0, 100), 1234},
      {Particles(40, -37, -100, 0, 7), 98765}, {Particles(40, 55, 0, -80, 32767), -4321},
      {Particles(20, 0, 0, 0, 1), 5000},
  };
  for (const Case& c : cases) {
    const int32_t set = Add(opPart1::Sets(), c.p);
    const auto want = Cloud(c.p, c.time);
    const auto got = DrawnCloud(set, c.time, 0.5f);
    ASSERT_EQ(got.size(), want.size()) << c.time;
    for (size_t i = 0; i < want.size(); ++i) {
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(got[i].pos[a], want[i].pos[a], 1e-3) << "particle " << i << " axis " << a;
      EXPECT_NEAR(got[i].fade, 0.5 * want[i].fade, 1e-5) << "particle " << i << " at " << c.time;
    }
    // The same time draws the same cloud again.
    const auto again = DrawnCloud(set, c.time, 0.5f);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(std::memcmp(&again[i], &got[i], sizeof got[i]), 0);
  }
}

TEST_F(OpParticles, DefaultsCrossTheBoxInTwoSecondsAndNegativeSpeedsWrapUpward) {
  const int32_t set = Add(opPart1::Sets(), Particles(30, -100, 0, 100));
  const auto t0 = DrawnCloud(set, 300), t500 = DrawnCloud(set, 800), t2000 = DrawnCloud(set, 2300);
  int wrapped = 0;
  for (size_t i = 0; i < t0.size(); ++i) {
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(t2000[i].pos[a], t0[i].pos[a], 1e-3);
    // A quarter of the box in 500 ms: z up by 1, x down by 1, modulo 4.
    EXPECT_NEAR(std::fmod(t500[i].pos[2] - t0[i].pos[2] + 8, 4), 1.0, 1e-3);
    EXPECT_NEAR(std::fmod(t500[i].pos[0] - t0[i].pos[0] + 8, 4), 3.0, 1e-3);
    EXPECT_NEAR(t500[i].pos[1], t0[i].pos[1], 1e-3);
    wrapped += t500[i].pos[0] > t0[i].pos[0];
  }
  EXPECT_GT(wrapped, 0);
}

TEST_F(OpParticles, SpritesFaceTheViewerAndLeaveAdditiveBlending) {
  const int32_t set = Add(opPart1::Sets(), Particles(1, 0, 0, 0));
  BoxView();
  glRotatef(90, 0, 0, 1);
  const auto poly = Feedback([&] { Draw(typeParticles, set); }).at(0);
  ASSERT_EQ(poly.size(), 4u);
  // Half size 0.1 is 3.2 pixels; right and up stay right and up on screen.
  const double cx = (poly[0].x + poly[2].x) / 2, cy = (poly[0].y + poly[2].y) / 2;
  const double corners[4][2] = {{1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(poly[i].x - cx, corners[i][0] * 3.2, 0.01) << i;
    EXPECT_NEAR(poly[i].y - cy, corners[i][1] * 3.2, 0.01) << i;
  }
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_BLEND_DST), GL_ONE);
}


TEST_F(OpParticles, DamagedSetsDrawBoundedCloudsWithoutTrapping) {
  struct Case {
    int32_t amount, globalSpeed;
    size_t sprites;
  } cases[] = {{70000, 2000, 65536}, {10, 0, 0}, {-3, 2000, 0}};
  for (const Case& c : cases) {
    auto p = Particles(c.amount, 1, 2, 3);
    p.GlobalSpeed = c.globalSpeed;
    EXPECT_EQ(DrawnCloud(Add(opPart1::Sets(), p), 777).size(), c.sprites) << c.amount << ", " << c.globalSpeed;
  }
  // Modulus -1 with a time that brings some particle's x to the lowest
  // 32-bit number: its remainder would trap in 32-bit division.
  auto p = Particles(512, 1, 1, 1, 0);
  p.GlobalSpeed = -1;
  int32_t time = 0;
  for (bool found = false; !found;) {
    ++p.RandomSeed;
    for (const Particle& q : Cloud(p, 0)) {
      const auto delta = static_cast<int32_t>(0x80000000u - q.xDraw);
      if (!found && delta > -20000000 && delta < 20000000) found = true, time = delta * 100;
    }
  }
  const auto got = DrawnCloud(Add(opPart1::Sets(), p), time);
  ASSERT_EQ(got.size(), 512u);
  for (const Particle& q : got) EXPECT_EQ(q.fade, 0.0);
}

// ---- Render To Texture ----

class OpRenderToTexture : public OpGLTest {
 protected:
  void Fader(uint8_t track, float r, float g, float b) {
    AddEvent(0, 1000, track, typeFader, Add(opFader::Sets(), {r, g, b, r, g, b, 1, 1}));
  }
  static RGBA Texel(uint32_t name, int x, int y, int* width = nullptr) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    if (width) *width = w;
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const uint8_t* t = &rgba[(static_cast<size_t>(y) * w + x) * 4];
    return {t[0], t[1], t[2], t[3]};
  }
};

// Track 3 halves the alpha of track 4, which renders tracks 5 to 7 into a
// 64 x 64 texture: red, the probe, green, each at alpha 0.5. Track 8 shows
// the texture over the whole window; the probe on track 9 is drawn as usual.
TEST_F(OpRenderToTexture, RendersTheNextTracksIntoTheTextureAndClearsTheScreen) {
  const int32_t tex = AddSolidTexture(kWhite, 64, 64);
  Fader(2, 0, 0, 1);
  AddEvent(0, 1000, 3, typeEffectFader, Add(opEfFade::Sets(), {0.5f, 0.5f}));
  AddEvent(0, 1000, 4, typeRenderToTexture, Add(opEffect::Sets(), {tex, 3}));
  Fader(5, 1, 0, 0);
  AddEvent(0, 1000, 6, typeProbe, 0);
  Fader(7, 0, 1, 0);
  AddEvent(0, 1000, 8, typeShowImage, Add(opImage::Sets(), {tex, 0, 0, 1, 1, 1, 0, {0, 0}}));
  AddEvent(0, 1000, 9, typeProbe, 1);
  glClearColor(1, 1, 1, 1);
  glScalef(2, 2, 1);
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  scheduler::RenderTracks(500);

  ASSERT_EQ(probeCalls.size(), 2u);
  EXPECT_EQ(probeCalls[0].Track, 6);
  EXPECT_EQ(probeCalls[0].Width, 64);
  EXPECT_FLOAT_EQ(probeCalls[0].Alpha, 0.5f);
  EXPECT_EQ(probeCalls[1].Track, 9);
  EXPECT_EQ(probeCalls[1].Width, 256);
  const RGBA mixed{64, 128, 0, 255};  // green at 0.5 over red at 0.5 over black
  for (auto [x, y] : {std::pair{0, 0}, {255, 255}, {128, 30}}) EXPECT_TRUE(NearRGB(ReadPixel(x, y), mixed)) << ReadPixel(x, y);
  int width = 0;
  EXPECT_TRUE(NearRGB(Texel(texMan::TextureTable[0].GLName, 63, 63, &width), mixed)) << Texel(texMan::TextureTable[0].GLName, 63, 63);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
  std::array<GLfloat, 4> clear{};
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.data());
  EXPECT_EQ(clear, (std::array<GLfloat, 4>{0, 0, 0, 0}));
}

// No tracks rendered: a black copy; a huge count takes the followers there
// are and returns. Texture 0, or one beyond the table, is object 0 at 256.
TEST_F(OpRenderToTexture, CountsAndTextureNumbersOutsideTheSliders) {
  const int32_t tex = AddSolidTexture(kWhite, 16, 16);
  struct Case {
    int32_t texture, beneath, probeWidth, copiedWidth;
  } cases[] = {{tex, 0, 256, 16}, {tex, INT_MAX, 16, 16}, {0, 1, 256, 256}, {99, -5, 256, 256}};
  for (const Case& c : cases) {
    data_.Events.clear();
    probeCalls.clear();
    scheduler::ResetTracks();
    Fader(0, 0, 0, 1);
    AddEvent(0, 1000, 1, typeRenderToTexture, Add(opEffect::Sets(), {c.texture, c.beneath}));
    AddEvent(0, 1000, 2, typeProbe, 0);
    scheduler::RenderTracks(0);
    ASSERT_EQ(probeCalls.size(), 1u);
    EXPECT_EQ(probeCalls[0].Width, c.probeWidth) << c.beneath;
    int width = 0;
    EXPECT_EQ(Texel(c.texture == tex ? texMan::TextureTable[0].GLName : 0, 0, 0, &width), (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(width, c.copiedWidth);
    EXPECT_EQ(ReadPixel(100, 100), kBlack);
  }
}

// ---- Image Distortion and Wobble Image ----

using OpFullWindow = OpGLTest;

// Both leave the standard perspective, the model-view matrix they found,
// depth test on and blending off.
void ExpectFullWindowRestored(const Matrix& projection, const Matrix& modelView) {
  EXPECT_EQ(CurrentMatrix(GL_PROJECTION_MATRIX), projection);
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), modelView);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

// A 2 x 1 texture, red left and green right. Strip 0 is grey 0.75 for Y 0
// and black for Y 1; the top strip is nearly white for Y 0 and grey
// 1 - 1.05^2 / 4 for Y 1. The alpha handed in never shows.
TEST_F(OpFullWindow, ImageDistortionStripsShadeAndShift) {
  const int32_t tex = AddTexture(2, 1, {255, 0, 0, 255, 0, 255, 0, 255}, 16, 16);
  // One strip, pushed by 40 sin(1.571) |sin(132 / 84)| pixels.
  const int shift = static_cast<int>(40 * std::sin(1.571) * std::fabs(std::sin(132.0 / 84.0)));
  const uint8_t top1 = static_cast<uint8_t>(std::lround(255 * (1 - 1.05 * 1.05 / 4)));
  struct Case {
    int32_t texture;
    float x, y;
    int32_t quality, speed;
    std::vector<std::tuple<int, int, RGBA>> pixels;
  } cases[] = {
      {tex, 0, 0, 20, 1000, {{3, 3, {191, 0, 0, 0}}, {252, 3, {0, 191, 0, 0}}, {3, 252, kRed}, {252, 252, kGreen}}},
      {tex, 2, 0, 20, 0, {{3, 3, {191, 0, 0, 0}}, {252, 3, {0, 191, 0, 0}}}},  // speed 0: the first wave is 0
      {tex, 0, 1, 20, 1000, {{3, 3, kBlack}, {3, 252, {top1, 0, 0, 0}}}},
      {tex, 2, 0, 1, 1000, {{shift - 2, 128, kBlack}, {shift + 2, 128, {191, 0, 0, 0}}, {252, 250, {0, 191, 0, 0}}}},
      {99, 0, 0, 20, 1000, {{3, 3, {191, 191, 191, 0}}}},  // no such texture: untextured
      {tex, 2, 0, 0, 1000, {{128, 128, kBlack}}},
  };
  glTranslatef(0, 0, -1);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX), modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Draw(typeImageDistortion, Add(opImgDist::Sets(), {c.texture, c.x, c.y, 1.0f, c.quality, c.speed}), 132, 1571,
         0.0f);
    for (auto [x, y, want] : c.pixels) EXPECT_TRUE(NearRGB(ReadPixel(x, y), want)) << x << "," << y << ": " << ReadPixel(x, y);
    ExpectFullWindowRestored(projection, modelView);
  }
  const int32_t many = Add(opImgDist::Sets(), {tex, 0, 0, 1, 100000, 1000});
  EXPECT_EQ(Feedback([&] { Draw(typeImageDistortion, many); }, 1 << 22).size(), 65536u);
}

// A 4 x 4 texture of distinct colours comes out the same for every grid;
// Grid 0 draws nothing and a grid above 64 draws 64.
TEST_F(OpFullWindow, WobbleMapsTheTextureOnceWhateverTheGrid) {
  std::vector<uint8_t> texels;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) texels.insert(texels.end(), {uint8_t(x * 80), uint8_t(y * 80), 200, 255});
  const int32_t tex = AddTexture(4, 4, texels, 16, 16);
  struct Case {
    uint8_t grid, blur, other;
    float alpha;
    bool drawn;
  } cases[] = {{1, 0, 0, 1, true}, {64, 16, 255, 1, true}, {200, 16, 0, 1, true}, {7, 3, 9, 0.5f, true},
               {0, 2, 0, 1, false}};
  glTranslatef(0, 0, -1);
  const Matrix projection = CurrentMatrix(GL_PROJECTION_MATRIX), modelView = CurrentMatrix(GL_MODELVIEW_MATRIX);
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const opWobble::TWobbleParams p{tex, c.grid, c.other, c.blur, c.other, c.other, c.other, {0, 0}};
    Draw(typeWobble, Add(opWobble::Sets(), p), 0, 0, c.alpha);
    ExpectFullWindowRestored(projection, modelView);
    const float f = c.drawn ? c.alpha : 0;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const RGBA want{uint8_t(std::lround(x * 80 * f)), uint8_t(std::lround(y * 80 * f)), uint8_t(std::lround(200 * f)), 0};
        EXPECT_TRUE(NearRGB(ReadPixel(32 + 64 * x, 32 + 64 * y), want)) << int(c.grid) << ": " << x << "," << y;
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
  } rows[] = {
      {typeParticles, 1, "Amount", 1, 512, 10},          {typeParticles, 2, "RandomSeed", 1, 32767, 123},
      {typeParticles, 3, "Global Speed", 1, 10000, 2000}, {typeParticles, 7, "Particle Size", 1, 200, 10},
      {typeParticles, 10, "Z-Speed", -100, 100, 100},     {typeRenderToTexture, 1, "Render beneath", 1, 15, 0},
      {typeImageDistortion, 1, "Damage", 0, 512, 512},    {typeImageDistortion, 2, "Quality", 10, 500, 20},
      {typeImageDistortion, 3, "Speed", 1, 10000, 1000},  {typeImageDistortion, 5, "Y", -512, 512, 0},
      {typeWobble, 1, "Grid", 1, 64, 16},                 {typeWobble, 3, "Blur", 0, 16, 2},
      {typeWobble, 6, "Y-Anim", 0, 255, 0},
  };
  for (const Row& r : rows) {
    dllShared::fOperator& op = *registry::Operators[r.type];
    const int32_t set = op.NewParamSet();
    uint8_t kind = 99;
    const auto* s = static_cast<const dllShared::fdSlider*>(op.GetParamInfo(set, r.param, &kind));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(kind, dllShared::kindSlider);
    EXPECT_STREQ(s->Label, r.label);
    EXPECT_EQ((std::array{s->Min, s->Max, s->Value, s->Reserved}), (std::array{r.min, r.max, r.value, 0})) << r.label;
    EXPECT_EQ(op.GetParamInfo(set, op.ParamCount, &kind), nullptr);
    EXPECT_EQ(op.GetParamInfo(set, -1, &kind), nullptr);
  }
  // Stores: colour 33023 is (1, 128/255, 0); sliders scale back; Wobble keeps the low byte.
  const int32_t values[] = {33023, 15, 256, 300};
  registry::Operators[typeParticles]->SetParamValue(0, 4, &values[0]);
  registry::Operators[typeParticles]->SetParamValue(0, 7, &values[1]);
  registry::Operators[typeImageDistortion]->SetParamValue(0, 4, &values[2]);
  registry::Operators[typeWobble]->SetParamValue(0, 1, &values[3]);
  const auto& part = opPart1::Sets()[0];
  EXPECT_EQ((std::array{part.Color.X, part.Color.Y, part.Color.Z}), (std::array{1.0f, 128 / 255.0f, 0.0f}));
  EXPECT_FLOAT_EQ(part.ParticleSize, 0.15f);
  EXPECT_EQ(opImgDist::Sets()[0].X, 0.5f);
  EXPECT_EQ(opWobble::Sets()[0].Grid, 44);
  uint8_t kind = 0;
  EXPECT_EQ(static_cast<const dllShared::fdColor*>(registry::Operators[typeParticles]->GetParamInfo(0, 4, &kind))->Value,
            33023);
  registry::Shutdown();
  registry::Startup();
}
}  // namespace
