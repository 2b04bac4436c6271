// Helpers for the operator tests: the real registry and scheduler on the shared GL context, textures
// made on the spot, GL feedback, and a probe operator that records what a following track sees.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "engine/registry.h"
#include "operators/roster.h"
#include "engine/scheduler.h"
#include "glTest.h"
#include "resources/texMan.h"

namespace optest {

// The probe borrows the Tunnel's place while a test runs.
enum : int32_t { typeFader = 0, typeShowImage = 1, typeEffectFader = 4, typeBezier = 7, typeEndDemo = 10, typeLinear = 12, typeSineMove = 13, typeProbe = 14 };

using Matrix = std::array<float, 16>;

inline Matrix CurrentMatrix(GLenum which) {
  Matrix m{};
  return glGetFloatv(which, m.data()), m;
}

// Colour channels only: blending also writes the destination alpha.
inline bool NearRGB(const RGBA& a, const RGBA& b, int tol = 2) {
  return Near(RGBA{a.r, a.g, a.b, 0}, RGBA{b.r, b.g, b.b, 0}, tol);
}

inline bool IsIdentity(const Matrix& m, float tol = 1e-6f) {
  for (int i = 0; i < 16; ++i)
    if (std::fabs(m[i] - ((i % 5 == 0) ? 1.0f : 0.0f)) > tol) return false;
  return true;
}

inline GLint GetInt(GLenum what) {
  GLint v = 0;
  return glGetIntegerv(what, &v), v;
}
template <class P>
int32_t AddSet(std::vector<P>& sets, const P& p) { return sets.push_back(p), static_cast<int32_t>(sets.size() - 1); }

struct FbVertex { float x, y, z, c[4], t[4]; };  // window x, y, depth, RGBA, STRQ
using Prims = std::vector<std::vector<FbVertex>>;

// The primitives `draw` sends, a line strip joined back into one list (not every driver marks a new
// strip, so a segment that does not start where the last one ended starts one too). Mesa feeds a quad
// back as two triangles.
inline Prims Feedback(GLenum type, const std::function<void()>& draw, size_t capacity = 1 << 16) {
  const int per = type == GL_2D ? 2 : type == GL_3D_COLOR ? 7 : 11;
  std::vector<GLfloat> buf(capacity);
  glFeedbackBuffer(static_cast<GLsizei>(buf.size()), type, buf.data()), glRenderMode(GL_FEEDBACK), draw();
  const GLint n = glRenderMode(GL_RENDER);
  EXPECT_GE(n, 0) << "feedback buffer overflow";
  Prims prims;
  size_t i = 0;
  auto vertex = [&] {
    FbVertex v{};
    return std::copy_n(&buf[i], per, &v.x), i += static_cast<size_t>(per), v;
  };
  while (i < static_cast<size_t>(std::max(n, 0))) {
    const auto token = static_cast<GLenum>(buf[i++]);
    if (token == GL_POLYGON_TOKEN) {
      prims.emplace_back();
      for (auto count = static_cast<int>(buf[i++]); count > 0; --count) prims.back().push_back(vertex());
      continue;
    }
    const FbVertex from = vertex(), to = vertex();
    if (token == GL_LINE_RESET_TOKEN || prims.empty() || std::memcmp(&prims.back().back(), &from, sizeof from) != 0)
      prims.push_back({from});
    prims.back().push_back(to);
  }
  return prims;
}

struct ProbeCall { int32_t Track, Set; Matrix ModelView; int32_t Width, Time; float Progress, Alpha; };
inline std::vector<ProbeCall> probeCalls;
inline int32_t probeSlotSet[8];

inline int32_t ProbeCreate(int32_t set) {
  for (int32_t i = 0; i < 8; ++i)
    if (probeSlotSet[i] < 0) return probeSlotSet[i] = set, i;
  return -1;
}
inline void ProbeFree(uint8_t slot) { if (slot < 8) probeSlotSet[slot] = -1; }
inline void ProbeRender(uint8_t slot, int32_t w, int32_t, int32_t t, int32_t, float p, float a) {
  probeCalls.push_back({scheduler::TrackPos, slot < 8 ? probeSlotSet[slot] : -1, CurrentMatrix(GL_MODELVIEW_MATRIX),
                        w, t, p, a});
}

// GL tests with the operators registered, an empty event list in use and the probe in place of type 14.
class OpGLTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp(), roster::Startup(), roster::RegisterOperators();
    saved_ = std::exchange(registry::Operators[typeProbe], &probeOp_);
    probeCalls.clear(), std::fill(std::begin(probeSlotSet), std::end(probeSlotSet), -1);
    scheduler::Startup(), scheduler::RenderWidth = Width(), scheduler::RenderHeight = Height(), scheduler::DemoFinished = 0;
    scheduler::UseDemoData(&data_), texMan::TextureTable.clear();
  }

  void TearDown() override {
    scheduler::UseDemoData(nullptr), scheduler::DemoFinished = 0, registry::Operators[typeProbe] = saved_;
    roster::Shutdown(), roster::Startup();
    for (const auto& e : texMan::TextureTable) glDeleteTextures(1, &e.GLName);  // name 0 is skipped
    texMan::TextureTable.clear(), GLTest::TearDown();
  }

  static dllShared::fOperator& Op(int32_t type) { return *registry::Operators[type]; }

  void AddEvent(int32_t start, int32_t length, uint8_t track, int32_t type, int32_t set) {
    data_.Events.push_back({start, length, track, {0, 0, 0}, type, set}), data_.EventCount = static_cast<int32_t>(data_.Events.size());
  }

  // Binds a fresh instance of `set` and renders it once.
  static void RenderOnce(int32_t type, int32_t set, int32_t w = 256, int32_t h = 256, float progress = 0.5f,
                         float alpha = 1.0f, int32_t time = 0, int32_t elapsed = 0) {
    dllShared::fOperator& op = Op(type);
    const int32_t slot = op.CreateInstance(set);
    ASSERT_GE(slot, 0);
    op.Render(static_cast<uint8_t>(slot), w, h, time, elapsed, progress, alpha), op.FreeInstance(static_cast<uint8_t>(slot));
  }

  // A nearest-filtered texture from RGBA texels (bottom row first), entered in the table as an
  // `entryW` x `entryH` image. Returns its number.
  static int32_t AddTexture(int texW, int texH, const std::vector<uint8_t>& rgba, int32_t entryW, int32_t entryH) {
    GLuint name = 0;
    glGenTextures(1, &name), glBindTexture(GL_TEXTURE_2D, name), glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (GLenum p : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) glTexParameteri(GL_TEXTURE_2D, p, GL_NEAREST);
    for (GLenum p : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T}) glTexParameteri(GL_TEXTURE_2D, p, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texW, texH, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data()), glBindTexture(GL_TEXTURE_2D, 0);
    texMan::TextureTable.push_back({"test", "test.tga", entryW, entryH, name, 0});
    return texMan::TexCount();
  }
  static int32_t AddSolidTexture(RGBA c, int32_t entryW = 16, int32_t entryH = 16) {
    return AddTexture(1, 1, {c.r, c.g, c.b, c.a}, entryW, entryH);
  }

  // A blue wall at z = -1.1 in the depth buffer, nearer than any effect.
  static void DrawNearWall() {
    glDisable(GL_TEXTURE_2D), glColor3f(0, 0, 1), glBegin(GL_QUADS);
    for (auto [x, y] : {std::pair{-5, -5}, {5, -5}, {5, 5}, {-5, 5}}) glVertex3f(x, y, -1.1f);
    glEnd(), glEnable(GL_TEXTURE_2D), glColor3f(1, 1, 1);
  }

  scheduler::TDemoData data_;

 private:
  dllShared::fOperator* saved_ = nullptr;
  dllShared::fOperator probeOp_{"probe", 0, 0, nullptr, nullptr, nullptr, nullptr, ProbeCreate, ProbeFree, ProbeRender, nullptr, nullptr};
};

}  // namespace optest
