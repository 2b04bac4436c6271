// Tunnel, Simple DrawMesh and 0815 Lines on the shared GL context. Vertices
// are taken from GL feedback mode under an orthographic projection, so
// window coordinates map straight back to model space.
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "opTestKit.h"
#include "operators/op0815L.h"
#include "operators/opDrawMesh.h"
#include "operators/opTunnel.h"

namespace {

using namespace optest;

constexpr double kPi = 3.14159265358979323846;

// One vertex from the feedback buffer: window x, y, depth, RGBA, STRQ.
struct FbVertex {
  float x, y, z, c[4], t[4];
};

// Runs `draw` in feedback mode; returns the vertices of each primitive, a
// line strip joined back into one list.
std::vector<std::vector<FbVertex>> Feedback(GLenum type, const std::function<void()>& draw,
                                            size_t capacity = 1 << 16) {
  const int per = type == GL_2D ? 2 : type == GL_3D_COLOR ? 7 : 11;
  std::vector<GLfloat> buf(capacity);
  glFeedbackBuffer(static_cast<GLsizei>(buf.size()), type, buf.data());
  glRenderMode(GL_FEEDBACK);
  draw();
  const GLint n = glRenderMode(GL_RENDER);
  EXPECT_GE(n, 0) << "feedback buffer overflow";
  std::vector<std::vector<FbVertex>> prims;
  auto vertex = [&](GLint& i) {
    FbVertex v{};
    std::copy_n(&buf[static_cast<size_t>(i)], per, &v.x);
    i += per;
    return v;
  };
  for (GLint i = 0; i < n;) {
    const auto token = static_cast<GLenum>(buf[static_cast<size_t>(i++)]);
    if (token == GL_POLYGON_TOKEN) {
      auto count = static_cast<int>(buf[static_cast<size_t>(i++)]);
      prims.emplace_back();
      while (count-- > 0) prims.back().push_back(vertex(i));
    } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
      // Not every driver marks a new strip; a segment that does not start
      // where the last one ended starts one too.
      const FbVertex from = vertex(i), to = vertex(i);
      if (token == GL_LINE_RESET_TOKEN || prims.empty() || std::memcmp(&prims.back().back(), &from, sizeof from) != 0)
        prims.push_back({from});
      prims.back().push_back(to);
    } else {
      ADD_FAILURE() << "unexpected token " << token;
      break;
    }
  }
  return prims;
}

class OpEffectsB : public OpGLTest {
 protected:
  void SetUp() override {
    OpGLTest::SetUp();
    opTunnel::Describe(tunnel_);  // the probe holds the Tunnel's registry place
  }
  // Orthographic view of [-h, h]² and depth [-n, f] on the 256² drawable.
  static void Ortho(double h, double n, double f) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-h, h, -h, h, n, f);
    glMatrixMode(GL_MODELVIEW);
  }
  static void Render(dllShared::fOperator& op, int32_t set, int32_t elapsed, float alpha = 1.0f) {
    const int32_t slot = op.CreateInstance(set);
    ASSERT_GE(slot, 0);
    op.Render(static_cast<uint8_t>(slot), 256, 256, 99999, elapsed, 0.75f, alpha);
    op.FreeInstance(static_cast<uint8_t>(slot));
  }
  dllShared::fOperator tunnel_{};
};

// ---------------------------------------------------------------- Tunnel

TEST_F(OpEffectsB, TunnelTurnsAndFlowsWithElapsed) {
  Ortho(1.0, 0.0, 100.0);  // window = (x + 1) * 128, depth = -z / 100
  const float radius = 0.5f;
  struct Case {
    int32_t rotation, animation, elapsed;
    double degrees;
    float s0;
  };
  const Case cases[] = {{500, 1000, 250, 0.5, 0.25f},    {500, 1000, 1000, 2.0, 0.0f}, {-50, 1000, 1000, -20.0, 0.0f},
                        {0, 0, 1234, 0.0, 0.0f},          {3, 400, 1000, 1000.0 / 3, 0.5f},
                        {1000000, -1, INT_MAX, INT_MAX / 1e6, 0.0f}};  // a period of -1 must not trap
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rotation << " " << c.animation << " " << c.elapsed);
    opTunnel::Sets().push_back({0, 2.0f, radius, 0.5f, c.rotation, c.animation, 0});
    const auto prims = Feedback(GL_3D_COLOR_TEXTURE, [&] { Render(tunnel_, int32_t(opTunnel::Sets().size() - 1), c.elapsed, 0.5f); });
    ASSERT_FALSE(prims.empty());
    const double a = std::fmod(c.degrees, 360.0) * kPi / 180.0;
    int nearStart = 0;
    for (const auto& prim : prims)
      for (const FbVertex& v : prim) {
        const bool nearRing = std::fabs(v.t[0] - c.s0) < 1e-6f;
        ASSERT_TRUE(nearRing || std::fabs(v.t[0] - (c.s0 + 1.0f)) < 1e-6f) << v.t[0];
        EXPECT_NEAR(v.c[3], nearRing ? 0.25f : 0.0f, 1e-6f);
        EXPECT_NEAR(v.z, nearRing ? 0.014f : 0.034f, 1e-5f);
        if (!nearRing || v.t[1] > 1e-6f) continue;
        ++nearStart;  // theta 0: (0, R) turned by the angle
        EXPECT_NEAR(v.x, (1.0 - radius * std::sin(a)) * 128.0, 0.02);
        EXPECT_NEAR(v.y, (1.0 + radius * std::cos(a)) * 128.0, 0.02);
      }
    EXPECT_GT(nearStart, 0);
  }
}

TEST_F(OpEffectsB, TunnelBlendTableAndTheStateItLeaves) {
  const int32_t red = AddSolidTexture({255, 0, 0, 255});
  struct Case {
    int32_t blending, texture;
    GLenum src, dst;
    GLuint bound;
  };
  const GLuint redName = texMan::TextureTable[0].GLName;
  const Case cases[] = {{0, red, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, redName},
                        {1, red, GL_SRC_ALPHA, GL_ONE, redName},
                        {2, 0, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR, 0},
                        {3, 7, GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR, 0},  // beyond the table: none
                        {7, red, GL_ZERO, GL_ONE, redName},                         // the caller's function stays
                        {-1, -3, GL_ZERO, GL_ONE, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blending);
    ResetState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBlendFunc(GL_ZERO, GL_ONE);
    glTranslatef(0.1f, 0.0f, 0.0f);
    const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
    opTunnel::Sets().push_back({c.texture, 2.0f, 0.7f, 1.0f, 500, 1000, c.blending});
    Render(tunnel_, int32_t(opTunnel::Sets().size() - 1), 300);
    EXPECT_EQ(GetInt(GL_BLEND_SRC), static_cast<GLint>(c.src));
    EXPECT_EQ(GetInt(GL_BLEND_DST), static_cast<GLint>(c.dst));
    EXPECT_EQ(static_cast<GLuint>(GetInt(GL_TEXTURE_BINDING_2D)), c.bound);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
  // Over black, blend 0: the middle looks down the tube; the wall near the
  // edge is bright (red when textured, white without), and the far ring has
  // faded out. A new set is invisible.
  // The bottom edge sees the wall 1.72 deep, 16% along: alpha 0.84.
  for (auto [texture, wall] : {std::pair{red, RGBA{214, 0, 0, 0}}, {0, RGBA{214, 214, 214, 0}}}) {
    ResetState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    opTunnel::Sets().push_back({texture, 2.0f, 0.7f, 1.0f, 0, 0, 0});
    Render(tunnel_, int32_t(opTunnel::Sets().size() - 1), 0);
    EXPECT_TRUE(NearRGB(ReadPixel(128, 128), {0, 0, 0, 0})) << ReadPixel(128, 128);
    EXPECT_TRUE(NearRGB(ReadPixel(128, 2), wall, 12)) << ReadPixel(128, 2);
  }
  ResetState();
  glClear(GL_COLOR_BUFFER_BIT);
  Render(tunnel_, tunnel_.NewParamSet(), 0);
  for (int y : {2, 40, 128}) EXPECT_TRUE(NearRGB(ReadPixel(128, y), {0, 0, 0, 0}, 0)) << y;
}

TEST_F(OpEffectsB, TunnelEditingEntriesRoundTrip) {
  const int32_t set = tunnel_.NewParamSet();
  const opTunnel::TTunnelParams& d = opTunnel::Sets()[static_cast<size_t>(set)];
  EXPECT_EQ(std::bit_cast<uint32_t>(d.Radius), 0x3F333333u);
  EXPECT_EQ(d.Length, 2.0f);
  EXPECT_EQ(d.Alpha, 0.0f);
  EXPECT_EQ(d.Rotation, 500);
  EXPECT_EQ(d.Animation, 1000);
  EXPECT_EQ(d.Texture | d.Blending, 0);

  struct Case {
    int32_t param;
    const char* label;
    int32_t min, max, in;
    float stored;  // the float field, where the value is scaled
  };
  const Case cases[] = {{1, "Radius", 0, 512, 358, 0.69921875f}, {2, "Length", 1, 1024, 256, 2.0f},
                        {3, "Rotation", -50, 50, -50, 0},         {4, "Animation", 0, 10000, 20000, 0},
                        {5, "Blending", 0, 3, 9, 0},              {6, "Alpha", 0, 512, 256, 0.5f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    tunnel_.SetParamValue(set, c.param, &c.in);
    const opTunnel::TTunnelParams& p = opTunnel::Sets()[static_cast<size_t>(set)];
    if (c.param == 1) {
      EXPECT_EQ(p.Radius, c.stored);
    }
    if (c.param == 2) {
      EXPECT_EQ(p.Length, c.stored);
    }
    if (c.param == 6) {
      EXPECT_EQ(p.Alpha, c.stored);
    }
    uint8_t kind = 99;
    const auto* info = static_cast<const dllShared::fdSlider*>(tunnel_.GetParamInfo(set, c.param, &kind));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(kind, dllShared::kindSlider);
    EXPECT_STREQ(info->Label, c.label);
    EXPECT_EQ(info->Min, c.min);
    EXPECT_EQ(info->Max, c.max);
    EXPECT_EQ(info->Value, c.in);
    EXPECT_EQ(info->Reserved, 0);
  }
  const int32_t tex = 4;
  tunnel_.SetParamValue(set, 0, &tex);
  uint8_t kind = 99;
  const auto* texInfo = static_cast<const dllShared::fdTexture*>(tunnel_.GetParamInfo(set, 0, &kind));
  EXPECT_EQ(kind, dllShared::kindTexture);
  EXPECT_STREQ(texInfo->Label, "Select Texture");
  EXPECT_EQ(texInfo->Value, 4);

  const opTunnel::TTunnelParams saved = opTunnel::Sets()[static_cast<size_t>(set)];
  for (int32_t param : {7, -1}) {
    EXPECT_EQ(tunnel_.GetParamInfo(set, param, &kind), nullptr);
    tunnel_.SetParamValue(set, param, &tex);
  }
  EXPECT_EQ(std::memcmp(&saved, &opTunnel::Sets()[static_cast<size_t>(set)], sizeof saved), 0);
  EXPECT_EQ(tunnel_.GetParamInfo(set + 1, 1, &kind), nullptr);
}

// Keys asked for while the sets load.
std::vector<std::string> readKeys;

TEST_F(OpEffectsB, TunnelSetsLoadUnderTheSixBytePrefix) {
  dllShared::fHost saved = dllShared::Host;
  readKeys.clear();
  dllShared::Host.ReadInt = [](std::string_view key, int32_t) {
    readKeys.emplace_back(key);
    return int32_t{2};
  };
  dllShared::Host.ReadBlock = [](std::string_view key, void* dest, int32_t size) {
    readKeys.emplace_back(key);
    std::memset(dest, 0x11, static_cast<size_t>(size));
  };
  opTunnel::LoadParamSets(false);
  dllShared::Host = saved;
  EXPECT_EQ(readKeys, (std::vector<std::string>{"TunnelCount", "\x54\x75\x6E\x6E\x65\xF6\x30", "Tunne\xF6" "1"}));
  ASSERT_EQ(opTunnel::Sets().size(), 2u);
  EXPECT_EQ(opTunnel::Sets()[1].Blending, 0x11111111);
}

// ---------------------------------------------------------- Simple DrawMesh

struct MeshCall {
  int32_t mesh;
  bool useColours, lighting, light0;
  float scale, colour[4];
  Matrix modelView;
};
std::vector<MeshCall> meshCalls;

void RecordMesh(int32_t mesh, bool useColours, float scale) {
  MeshCall c{mesh, useColours, glIsEnabled(GL_LIGHTING) != 0, glIsEnabled(GL_LIGHT0) != 0, scale, {},
             CurrentMatrix(GL_MODELVIEW_MATRIX)};
  glGetFloatv(GL_CURRENT_COLOR, c.colour);
  meshCalls.push_back(c);
}

// Column-major a · b.
Matrix Mul(const Matrix& a, const Matrix& b) {
  Matrix r{};
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row)
      for (int k = 0; k < 4; ++k) r[c * 4 + row] += a[k * 4 + row] * b[c * 4 + k];
  return r;
}
// Rotation by `deg` about the coordinate axis `axis` (0 = X, 1 = Y, 2 = Z).
Matrix Turn(int axis, double deg) {
  const auto c = static_cast<float>(std::cos(deg * kPi / 180)), s = static_cast<float>(std::sin(deg * kPi / 180));
  const int u = (axis + 1) % 3, v = (axis + 2) % 3;  // the plane turned: u towards v
  Matrix m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  m[u * 4 + u] = c;
  m[u * 4 + v] = s;
  m[v * 4 + u] = -s;
  m[v * 4 + v] = c;
  return m;
}

TEST_F(OpEffectsB, DrawMeshTurnsXThenYThenZAndLeavesLight0On) {
  const auto saved = dllShared::Host.DrawMesh;
  dllShared::Host.DrawMesh = RecordMesh;
  dllShared::fOperator& op = Op(8);
  auto& sets = opDrawMesh::Sets();
  // Lighting, Mesh; drawn mesh index or -1 for no call.
  struct Case {
    int32_t lighting, mesh, drawn;
  };
  for (const Case& c : {Case{1, 3, 2}, {0, 1, 0}, {2, 500, 499}, {1, 0, -1}, {1, -7, -1}}) {
    SCOPED_TRACE(testing::Message() << c.lighting << " " << c.mesh);
    meshCalls.clear();
    ResetState();
    glDisable(GL_LIGHT0);
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    glTranslatef(0.0f, 0.0f, -5.0f);
    const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
    sets.push_back({{1.0f, -2.0f, 0.5f}, {30.0f, 45.0f, 60.0f}, {0xEE, 0xEE}, c.lighting, c.mesh});
    Render(op, int32_t(sets.size() - 1), 100, 0.1f);
    EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(glIsEnabled(GL_LIGHT0) != 0, c.drawn >= 0 && c.lighting == 1);
    if (c.drawn < 0) {
      EXPECT_TRUE(meshCalls.empty());
      GLfloat colour[4];
      glGetFloatv(GL_CURRENT_COLOR, colour);
      EXPECT_FLOAT_EQ(colour[0], 0.2f);
      continue;
    }
    ASSERT_EQ(meshCalls.size(), 1u);
    const MeshCall& m = meshCalls[0];
    EXPECT_EQ(m.mesh, c.drawn);
    EXPECT_TRUE(m.useColours);
    EXPECT_FLOAT_EQ(m.scale, 0.01f);
    EXPECT_EQ(m.lighting, c.lighting == 1);
    EXPECT_EQ(m.light0, c.lighting == 1);
    for (float ch : m.colour) EXPECT_TRUE(c.lighting == 1 || ch == 1.0f) << ch;
    Matrix want = Mul(before, Matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1.0f, -2.0f, 0.5f, 1});
    want = Mul(Mul(Mul(want, Turn(0, 30)), Turn(1, 45)), Turn(2, 60));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.modelView[i], want[i], 1e-5f) << i;
  }
  dllShared::Host.DrawMesh = saved;
}

// ------------------------------------------------------------- 0815 Lines

// Model coordinates of a feedback vertex under Ortho(4, -10, 10).
dllShared::TVector3 Model(const FbVertex& v) {
  return {(v.x / 128.0f - 1.0f) * 4.0f, (v.y / 128.0f - 1.0f) * 4.0f, (1.0f - 2.0f * v.z) * 10.0f};
}

class OpLines : public OpEffectsB {
 protected:
  void SetUp() override {
    OpEffectsB::SetUp();
    Ortho(4.0, -10.0, 10.0);
  }
  static std::vector<std::vector<FbVertex>> Lines(op0815L::TLinesParams p, int32_t elapsed, GLenum type = GL_3D_COLOR,
                                                  size_t capacity = 1 << 16) {
    op0815L::Sets().push_back(p);
    const auto set = static_cast<int32_t>(op0815L::Sets().size() - 1);
    return Feedback(type, [&] { Render(Op(9), set, elapsed, 0.1f); }, capacity);
  }
  static void ExpectAt(const FbVertex& v, double x, double y, double z) {
    const dllShared::TVector3 m = Model(v);
    EXPECT_NEAR(m.X, x, 1e-4);
    EXPECT_NEAR(m.Y, y, 1e-4);
    EXPECT_NEAR(m.Z, z, 1e-4);
  }
};

TEST_F(OpLines, FiveStripsOfElevenStraightFromTheirStartPointsAtElapsedZero) {
  ResetState();
  const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
  const auto strips = Lines({0.2f, 0.4f, 0.6f, 2.5f, {}, 4, 1000, 0, 0}, 0);
  ASSERT_EQ(strips.size(), 5u);
  for (size_t k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    ASSERT_EQ(strips[k].size(), 11u);
    const double phi = 2 * kPi * double(k) / 4;
    const double a = std::sin(phi), b = std::cos(phi);
    for (size_t j = 0; j < 11; ++j) {
      const double u = 1.0 - double(j) / 10;  // straight, bow on the end point: x = a + 1 - u²
      ExpectAt(strips[k][j], a + 1 - u * u, b, a * b - a);
      const float want[4] = {0.2f, 0.4f, 0.6f, 0.5f};
      for (int i = 0; i < 4; ++i) EXPECT_NEAR(strips[k][j].c[i], want[i], 1e-3) << j;
    }
  }
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  EXPECT_EQ(GetInt(GL_TEXTURE_BINDING_2D), 0);
  EXPECT_EQ(GetInt(GL_BLEND_SRC), GL_SRC_ALPHA);
  EXPECT_EQ(CurrentMatrix(GL_MODELVIEW_MATRIX), before);
}

TEST_F(OpLines, BowFollowsSinKOverNAndTheOtherShape) {
  // t = 1: line 2 of 4 bows by 0.2·sin 1·sin(0.5) in y; its middle point
  // takes half of that, and in x a + 0.75 + 0.25·sin 1.
  for (int32_t shape : {0, 1}) {
    const auto strips = Lines({1, 1, 1, 5, {}, 4, 1000, shape, 0}, 1000);
    ASSERT_EQ(strips.size(), 5u);
    double a = std::sin(0.9 + kPi), b = std::cos(1.2453 + kPi), c = a * b - a;
    if (shape == 1) {
      a = std::sin(1.2) * std::sin(kPi);
      b = std::cos(a + 1) * std::sin(kPi + 0.1);
      c = a * b + b;
    }
    ExpectAt(strips[2][0], a, b, c);
    ExpectAt(strips[2][5], a + 0.75 + 0.25 * std::sin(1.0), b + 0.1 * std::sin(1.0) * std::sin(0.5), c);
    ExpectAt(strips[2][10], a + 1, b, c);
  }
}

TEST_F(OpLines, DecidedOpenPoints) {
  const op0815L::TLinesParams base{1, 1, 1, 5, {}, 4, 1000, 0, 0};
  auto with = [&](auto change) {
    op0815L::TLinesParams p = base;
    change(p);
    return p;
  };
  auto same = [](const auto& x, const auto& y) {
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
      for (size_t j = 0; j < x[i].size(); ++j)
        if (std::memcmp(&x[i][j], &y[i][j], sizeof(FbVertex)) != 0) return false;
    return true;
  };
  // LineSteps 0: one line at phi 0 without a sideways bow.
  const auto one = Lines(with([](auto& p) { p.LineSteps = 0; }), 1000);
  ASSERT_EQ(one.size(), 1u);
  const double a = std::sin(0.9), b = std::cos(1.2453);
  ExpectAt(one[0][5], a + 0.75 + 0.25 * std::sin(1.0), b, a * b - a);
  EXPECT_TRUE(Lines(with([](auto& p) { p.LineSteps = -1; }), 1000).empty());
  // TimeScale 0 is the picture at t = 0; unknown shapes draw shape 0.
  EXPECT_TRUE(same(Lines(with([](auto& p) { p.TimeScale = 0; }), 5000), Lines(base, 0)));
  EXPECT_TRUE(same(Lines(with([](auto& p) { p.Shape = 7; }), 1500), Lines(base, 1500)));
  // FixedEnds: every line ends (and bows) where the first one does.
  const auto fixed = Lines(with([](auto& p) { p.FixedEnds = -3; }), 1000);
  const auto free = Lines(base, 1000);
  ASSERT_EQ(fixed.size(), 5u);
  EXPECT_EQ(std::memcmp(fixed[0].data(), free[0].data(), 11 * sizeof(FbVertex)), 0);
  for (const auto& strip : fixed) ExpectAt(strip[10], a + 1, b, a * b - a);
  ExpectAt(fixed[2][0], std::sin(0.9 + kPi), std::cos(1.2453 + kPi), Model(free[2][0]).Z);
  // A huge LineSteps is capped at 65,537 lines.
  const auto many = Lines(with([](auto& p) { p.LineSteps = INT_MAX; }), 0, GL_2D, 65537 * 55 + 16);
  EXPECT_EQ(many.size(), 65537u);
}

}  // namespace
