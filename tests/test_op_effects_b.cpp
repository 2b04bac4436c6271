// Tunnel, Simple DrawMesh and 0815 Lines; vertices come from GL feedback under an orthographic projection.
#include <climits>

#include "opTestKit.h"
#include "operators/op0815L.h"
#include "operators/opDrawMesh.h"
#include "operators/opTunnel.h"

namespace {

using namespace optest;
constexpr double kPi = 3.14159265358979323846;

class OpEffectsB : public OpGLTest {
 protected:
  void SetUp() override { OpGLTest::SetUp(), opTunnel::Describe(tunnel_); }  // the probe holds the Tunnel's place
  static void Ortho(double h, double n, double f) { glMatrixMode(GL_PROJECTION), glLoadIdentity(), glOrtho(-h, h, -h, h, n, f), glMatrixMode(GL_MODELVIEW); }
  template <class P>
  static void Render(dllShared::fOperator& op, std::vector<P>& sets, const P& p, int32_t elapsed, float alpha = 1) {
    const auto slot = static_cast<uint8_t>(op.CreateInstance(AddSet(sets, p)));
    op.Render(slot, 256, 256, 99999, elapsed, 0.75f, alpha), op.FreeInstance(slot);
  }
  dllShared::fOperator tunnel_{};
};

TEST_F(OpEffectsB, TunnelTurnsFlowsBlendsAndRestores) {
  Ortho(1.0, 0.0, 100.0);  // window = (x + 1) * 128, depth = -z / 100
  struct { int32_t rotation, animation, elapsed; double degrees; float s0; } const cases[] = {
      {500, 1000, 250, 0.5, 0.25f}, {500, 1000, 1000, 2, 0}, {-50, 1000, 1000, -20, 0}, {0, 0, 1234, 0, 0},
      {1000000, -1, INT_MAX, INT_MAX / 1e6, 0}};  // a period of -1 must not trap
  for (const auto& c : cases) {
    const Prims prims = Feedback(GL_3D_COLOR_TEXTURE, [&] { Render(tunnel_, opTunnel::Sets(), {0, 2.0f, 0.5f, 0.5f, c.rotation, c.animation, 0}, c.elapsed, 0.5f); });
    ASSERT_FALSE(prims.empty()) << c.elapsed;
    const double a = c.degrees * kPi / 180.0;
    for (const auto& prim : prims)
      for (const FbVertex& v : prim) {
        const bool nearRing = v.t[0] == c.s0;  // alpha 0.5 x 0.5 at z -1.4, 0 at -3.4
        ASSERT_TRUE(nearRing || v.t[0] == c.s0 + 1.0f) << v.t[0] << " at " << c.elapsed;
        EXPECT_TRUE(std::fabs(v.c[3] - (nearRing ? 0.25f : 0.0f)) < 1e-6f && std::fabs(v.z - (nearRing ? 0.014f : 0.034f)) < 1e-5f);
        const bool top = nearRing && v.t[1] == 0.0f;  // (0, R) turned
        EXPECT_TRUE(!top || std::hypot(v.x - (1.0 - 0.5 * std::sin(a)) * 128.0, v.y - (1.0 + 0.5 * std::cos(a)) * 128.0) < 0.03);
      }
  }

  // The blend table, the texture and the state it leaves.
  const int32_t red = AddSolidTexture({255, 0, 0, 255});
  const GLuint redName = texMan::TextureTable[0].GLName;
  // wall: near the bottom edge, 16% along the tube: alpha 0.84
  struct { int32_t blending, texture; GLenum src, dst; GLuint bound; RGBA wall; } const blends[] = {
      {0, red, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, redName, {214, 0, 0, 0}}, {1, 0, GL_SRC_ALPHA, GL_ONE, 0, {214, 214, 214, 0}},
      {2, 7, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR, 0, {214, 214, 214, 0}},  // beyond the table
      {3, red, GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR, redName, {255, 0, 0, 0}},
      {7, -3, GL_ZERO, GL_ONE, 0, {0, 0, 0, 0}}};  // the caller's function stays
  SetSize(256, 256);  // back to the perspective
  for (const auto& c : blends) {
    SCOPED_TRACE(c.blending);
    ResetState(), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glBlendFunc(GL_ZERO, GL_ONE), glTranslatef(0, 0, 0.001f);
    const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
    Render(tunnel_, opTunnel::Sets(), {c.texture, 2.0f, 0.7f, 1.0f, 0, 0, c.blending}, 0);
    EXPECT_EQ((std::array{GetInt(GL_BLEND_SRC), GetInt(GL_BLEND_DST), GetInt(GL_TEXTURE_BINDING_2D)}),
              (std::array{GLint(c.src), GLint(c.dst), GLint(c.bound)}));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && !glIsEnabled(GL_BLEND) && CurrentMatrix(GL_MODELVIEW_MATRIX) == before);
    EXPECT_TRUE(NearRGB(ReadPixel(128, 2), c.wall, 12)) << ReadPixel(128, 2);
    EXPECT_TRUE(NearRGB(ReadPixel(128, 128), {0, 0, 0, 0}, 0));  // down the tube, the far end faded out
  }
  ResetState(), glClear(GL_COLOR_BUFFER_BIT);
  tunnel_.Render(static_cast<uint8_t>(tunnel_.CreateInstance(tunnel_.NewParamSet())), 256, 256, 0, 0, 0, 1);
  EXPECT_TRUE(NearRGB(ReadPixel(128, 2), {0, 0, 0, 0}, 0)) << "a new set is invisible";

  // The editing entries round-trip.
  const int32_t set = tunnel_.NewParamSet();
  const auto& p = opTunnel::Sets()[static_cast<size_t>(set)];
  struct { int32_t param; const char* label; int32_t min, max, in; const float* field; float stored; } const edits[] = {
      {1, "Radius", 0, 512, 358, &p.Radius, 0.69921875f}, {2, "Length", 1, 1024, 256, &p.Length, 2.0f},
      {3, "Rotation", -50, 50, -50, nullptr, 0}};
  for (const auto& c : edits) {
    tunnel_.SetParamValue(set, c.param, &c.in);
    uint8_t kind = 99;
    const auto* info = static_cast<const dllShared::fdSlider*>(tunnel_.GetParamInfo(set, c.param, &kind));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(std::tuple(std::string(info->Label), int(kind), info->Min, info->Max, info->Value), std::tuple(c.label, 0, c.min, c.max, c.in));
    EXPECT_TRUE(!c.field || *c.field == c.stored) << c.label;
  }
  uint8_t kind = 0;
  EXPECT_TRUE(tunnel_.GetParamInfo(set, 0, &kind) != nullptr && kind == dllShared::kindTexture);
  EXPECT_EQ(tunnel_.GetParamInfo(set, 7, &kind), nullptr);
}

struct MeshCall { int32_t mesh; bool useColours, lighting, light0; float scale, colour[4]; Matrix modelView; };
std::vector<MeshCall> meshCalls;

TEST_F(OpEffectsB, DrawMeshTurnsXThenYThenZAndLeavesLight0On) {
  const auto saved = dllShared::Host.DrawMesh;
  dllShared::Host.DrawMesh = [](int32_t mesh, bool useColours, float scale) {
    meshCalls.push_back({mesh, useColours, glIsEnabled(GL_LIGHTING) != 0, glIsEnabled(GL_LIGHT0) != 0, scale, {}, CurrentMatrix(GL_MODELVIEW_MATRIX)});
    glGetFloatv(GL_CURRENT_COLOR, meshCalls.back().colour);
  };
  // Lighting, Mesh, and the mesh index drawn (-1: no call, no state touched).
  for (auto [lighting, mesh, drawn] : {std::tuple{1, 3, 2}, {0, 1, 0}, {2, 500, 499}, {1, 0, -1}, {1, -7, -1}}) {
    SCOPED_TRACE(testing::Message() << lighting << " " << mesh);
    meshCalls.clear(), ResetState(), glDisable(GL_LIGHT0), glColor4f(0.2f, 0.3f, 0.4f, 0.5f), glTranslatef(0, 0, -5);
    const Matrix before = CurrentMatrix(GL_MODELVIEW_MATRIX);
    // T·Rx(90)·Ry(90)·Rz(90) sends x to z, y to -y and z to x (Z first would send x to -z).
    const Matrix want{0, 0, 1, 0, 0, -1, 0, 0, 1, 0, 0, 0, 1, -2, -4.5f, 1};
    Render(Op(8), opDrawMesh::Sets(), {{1, -2, 0.5f}, {90, 90, 90}, {0xEE}, lighting, mesh}, 100, 0.1f);
    EXPECT_TRUE(CurrentMatrix(GL_MODELVIEW_MATRIX) == before && !glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(glIsEnabled(GL_LIGHT0) != 0, drawn >= 0 && lighting == 1);
    EXPECT_EQ(meshCalls.size(), drawn >= 0 ? 1u : 0u);
    if (meshCalls.size() != 1) continue;  // keeps the host table restored below
    const MeshCall& m = meshCalls[0];
    EXPECT_TRUE(m.mesh == drawn && m.useColours && m.scale == 0.01f && m.lighting == (lighting == 1) && m.light0 == m.lighting);
    EXPECT_TRUE(lighting == 1 || (m.colour[0] == 1 && m.colour[1] == 1 && m.colour[2] == 1 && m.colour[3] == 1));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.modelView[i], want[i], 1e-5f) << i;
  }
  dllShared::Host.DrawMesh = saved;
}

class OpLines : public OpEffectsB {
 protected:
  void SetUp() override { OpEffectsB::SetUp(), Ortho(4.0, -10.0, 10.0); }
  static Prims Lines(int32_t steps, int32_t scale, int32_t shape, int32_t fixed, int32_t elapsed,
                     GLenum type = GL_3D_COLOR, size_t capacity = 1 << 16) {
    return Feedback(type, [&] { Render(Op(9), op0815L::Sets(), {0.2f, 0.4f, 0.6f, 2.5f, {}, steps, scale, shape, fixed}, elapsed, 0.1f); }, capacity);
  }
  // Model coordinates of a feedback vertex under Ortho(4, -10, 10).
  static void ExpectAt(const FbVertex& v, double x, double y, double z) {
    EXPECT_TRUE(std::fabs((v.x / 128.0 - 1.0) * 4.0 - x) < 1e-4 && std::fabs((v.y / 128.0 - 1.0) * 4.0 - y) < 1e-4 &&
                std::fabs((1.0 - 2.0 * v.z) * 10.0 - z) < 1e-4) << v.x << "," << v.y << "," << v.z << " vs " << x << "," << y << "," << z;
  }
};

TEST_F(OpLines, FiveStripsOfElevenAndTheirStartPoints) {
  const Prims strips = Lines(4, 1000, 0, 0, 0);
  ASSERT_EQ(strips.size(), 5u);
  for (size_t k = 0; k < 5; ++k) {
    ASSERT_EQ(strips[k].size(), 11u);
    const double a = std::sin(kPi * double(k) / 2), b = std::cos(kPi * double(k) / 2);
    for (size_t j = 0; j < 11; ++j)  // straight, the bow on the end point: x = a + 1 - (1 - s)²
      ExpectAt(strips[k][j], a + 1 - std::pow(1 - double(j) / 10, 2), b, a * b - a);
  }
  const float* c = strips[4][10].c;  // green, opacity / 5
  EXPECT_TRUE(std::fabs(c[1] - 0.4f) < 1e-3f && std::fabs(c[3] - 0.5f) < 1e-3f);
  EXPECT_TRUE(!glIsEnabled(GL_BLEND) && GetInt(GL_TEXTURE_BINDING_2D) == 0 && GetInt(GL_BLEND_SRC) == GL_SRC_ALPHA);
  const double a1 = std::sin(1.2) * std::sin(kPi), b1 = std::cos(a1 + 1) * std::sin(kPi + 0.1);
  ExpectAt(Lines(4, 1000, 1, 0, 1000)[2][0], a1, b1, a1 * b1 + b1);  // shape 1 at t = 1
}

TEST_F(OpLines, DecidedOpenPoints) {
  auto same = [](const Prims& x, const Prims& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const auto& p, const auto& q) { return p.size() == q.size() && std::memcmp(p.data(), q.data(), p.size() * sizeof(FbVertex)) == 0; });
  };
  const double a = std::sin(0.9), b = std::cos(1.2453);  // line 0 at t = 1
  const Prims one = Lines(0, 1000, 0, 0, 1000);          // LineSteps 0: phi 0, no sideways bow
  ASSERT_EQ(one.size(), 1u);
  ExpectAt(one[0][5], a + 0.75 + 0.25 * std::sin(1.0), b, a * b - a);
  EXPECT_TRUE(Lines(-1, 1000, 0, 0, 1000).empty());
  EXPECT_TRUE(same(Lines(4, 0, 0, 0, 5000), Lines(4, 1000, 0, 0, 0)));  // TimeScale 0 stands still at t = 0
  EXPECT_TRUE(same(Lines(4, 1000, 7, 0, 1500), Lines(4, 1000, 0, 0, 1500)));  // unknown shapes draw shape 0
  // FixedEnds: every line ends (and bows) where the first one does.
  const Prims fixed = Lines(4, 1000, 0, -3, 1000), free = Lines(4, 1000, 0, 0, 1000);
  ASSERT_EQ(fixed.size(), 5u);
  EXPECT_TRUE(same({fixed[0]}, {free[0]}));
  for (const auto& strip : fixed) ExpectAt(strip[10], a + 1, b, a * b - a);
  EXPECT_EQ(std::memcmp(&fixed[2][0], &free[2][0], sizeof(FbVertex)), 0);
  EXPECT_EQ(Lines(INT_MAX, 1000, 0, 0, 0, GL_2D, 65537 * 50 + 16).size(), 65537u);  // capped
}

}  // namespace
