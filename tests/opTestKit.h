// Helpers for the operator tests: the real registry and scheduler on the
// shared GL context, textures made on the spot, and a probe operator that
// records what a following track sees.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/registry.h"
#include "engine/scheduler.h"
#include "glTest.h"
#include "resources/texMan.h"

namespace optest {

// Operator type numbers.
enum : int32_t {
  typeFader = 0,
  typeShowImage = 1,
  typeEffectFader = 4,
  typeBezier = 7,
  typeEndDemo = 10,
  typeLinear = 12,
  typeSineMove = 13,
  typeProbe = 14,  // the probe borrows the Tunnel's place while a test runs
};

using Matrix = std::array<float, 16>;

inline Matrix CurrentMatrix(GLenum which) {
  Matrix m{};
  glGetFloatv(which, m.data());
  return m;
}

// Colour channels only: blending also writes the destination alpha, which
// no effect here is about.
inline bool NearRGB(const RGBA& a, const RGBA& b, int tol = 2) {
  return Near(RGBA{a.r, a.g, a.b, 0}, RGBA{b.r, b.g, b.b, 0}, tol);
}

struct Vec3 {
  double x, y, z;
};

// Where the column-major matrix m sends point p.
inline Vec3 Apply(const Matrix& m, Vec3 p) {
  return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
          m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

inline bool IsIdentity(const Matrix& m, float tol = 1e-6f) {
  for (int i = 0; i < 16; ++i)
    if (std::fabs(m[i] - ((i % 5 == 0) ? 1.0f : 0.0f)) > tol) return false;
  return true;
}

// One call of the probe's Render: the track it ran on and what it saw.
struct ProbeCall {
  int32_t Track;
  int32_t Set;
  Matrix ModelView;
  int32_t Width, Height, Time;
  float Progress, Alpha;
};

struct Probe {
  std::vector<ProbeCall> Calls;
  int32_t SlotSet[8];
};
inline Probe probe;

inline int32_t ProbeCreate(int32_t set) {
  for (int32_t i = 0; i < 8; ++i)
    if (probe.SlotSet[i] < 0) {
      probe.SlotSet[i] = set;
      return i;
    }
  return -1;
}
inline void ProbeFree(uint8_t slot) {
  if (slot < 8) probe.SlotSet[slot] = -1;
}
inline void ProbeRender(uint8_t slot, int32_t w, int32_t h, int32_t t, int32_t, float p, float a) {
  probe.Calls.push_back({scheduler::TrackPos, slot < 8 ? probe.SlotSet[slot] : -1, CurrentMatrix(GL_MODELVIEW_MATRIX),
                         w, h, t, p, a});
}

// GL tests with the operators registered, an empty event list in use and
// the probe in place of type 14.
class OpGLTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    registry::Startup();
    registry::RegisterOperators();
    saved_ = registry::Operators[typeProbe];
    probeOp_ = {"probe", 0, 0, nullptr, nullptr, nullptr, nullptr, ProbeCreate, ProbeFree, ProbeRender, nullptr,
                nullptr};
    registry::Operators[typeProbe] = &probeOp_;
    probe.Calls.clear();
    for (auto& s : probe.SlotSet) s = -1;
    scheduler::Startup();
    scheduler::RenderWidth = Width();
    scheduler::RenderHeight = Height();
    scheduler::DemoFinished = 0;
    scheduler::UseDemoData(&data_);
    texMan::TextureTable.clear();
  }

  void TearDown() override {
    scheduler::UseDemoData(nullptr);
    scheduler::DemoFinished = 0;
    registry::Operators[typeProbe] = saved_;
    registry::Shutdown();
    registry::Startup();
    for (const auto& e : texMan::TextureTable)
      if (e.GLName != 0) glDeleteTextures(1, &e.GLName);
    texMan::TextureTable.clear();
    GLTest::TearDown();
  }

  static dllShared::fOperator& Op(int32_t type) { return *registry::Operators[type]; }

  // An event on the timeline the scheduler walks.
  void AddEvent(int32_t start, int32_t length, uint8_t track, int32_t type, int32_t set) {
    data_.Events.push_back({start, length, track, {0, 0, 0}, type, set});
    data_.EventCount = static_cast<int32_t>(data_.Events.size());
  }

  // Binds a fresh instance of `set` and renders it once.
  static void RenderOnce(int32_t type, int32_t set, int32_t w, int32_t h, float progress, float alpha = 1.0f,
                         int32_t elapsed = 0) {
    dllShared::fOperator& op = Op(type);
    const int32_t slot = op.CreateInstance(set);
    ASSERT_GE(slot, 0);
    op.Render(static_cast<uint8_t>(slot), w, h, 0, elapsed, progress, alpha);
    op.FreeInstance(static_cast<uint8_t>(slot));
  }

  // A texture object from RGBA texels (bottom row first), with nearest
  // filtering and no mipmaps, entered in the texture table as `entryW` x
  // `entryH` (the size the image file had). Returns its texture number.
  static int32_t AddTexture(int texW, int texH, const std::vector<uint8_t>& rgba, int32_t entryW, int32_t entryH) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texW, texH, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    texMan::TTextureEntry e;
    e.Name = "test";
    e.FileName = "test.tga";
    e.Width = entryW;
    e.Height = entryH;
    e.GLName = name;
    texMan::TextureTable.push_back(e);
    return texMan::TexCount();
  }

  // One colour everywhere.
  static int32_t AddSolidTexture(RGBA c, int32_t entryW = 16, int32_t entryH = 16) {
    return AddTexture(1, 1, {c.r, c.g, c.b, c.a}, entryW, entryH);
  }

  static GLint GetInt(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
  }

  scheduler::TDemoData data_;

 private:
  dllShared::fOperator* saved_ = nullptr;
  dllShared::fOperator probeOp_{};
};

}  // namespace optest
