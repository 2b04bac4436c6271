#include "operators/opTunnel.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "operators/opShape.h"

namespace opTunnel {

namespace {

opShape::Shape<TTunnelParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// Texture number 0 caches a 10 x 10 stand-in.
constexpr int32_t NoneSize = 10;
constexpr int Segments = 30;
constexpr float NearZ = -1.4f;
constexpr double Pi = 3.14159265358979323846;

opShape::ParamInfo info;

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TTunnelParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0:
      return info.TextureOf("Select Texture", p->Texture, kind);
    case 1: return info.SliderOf("Radius", 0, 512, dllShared::ToSlider(p->Radius, 512.0f), kind);
    case 2: return info.SliderOf("Length", 1, 1024, dllShared::ToSlider(p->Length, 128.0f), kind);
    case 3: return info.SliderOf("Rotation", -50, 50, p->Rotation, kind);
    case 4: return info.SliderOf("Animation", 0, 10000, p->Animation, kind);
    case 5: return info.SliderOf("Blending", 0, 3, p->Blending, kind);
    case 6: return info.SliderOf("Alpha", 0, 512, dllShared::ToSlider(p->Alpha, 512.0f), kind);
    default: return nullptr;
  }
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TTunnelParams* p = shape.SetAt(set);
  if (!p || !value) return;
  int32_t v;
  std::memcpy(&v, value, sizeof v);
  const auto scaled = [v](double scale) { return static_cast<float>(static_cast<double>(v) / scale); };
  switch (param) {
    case 0: p->Texture = v; break;
    case 1: p->Radius = scaled(512.0); break;
    case 2: p->Length = scaled(128.0); break;
    case 3: p->Rotation = v; break;
    case 4: p->Animation = v; break;
    case 5: p->Blending = v; break;
    case 6: p->Alpha = scaled(512.0); break;
    default: break;
  }
}

// A new tube is invisible (Alpha 0) until its opacity is raised.
int32_t NewParamSet() {
  TTunnelParams d{};
  d.Length = 2.0f;
  d.Radius = std::bit_cast<float>(0x3F333333u);
  d.Rotation = 500;
  d.Animation = 1000;
  return shape.NewParamSet(d);
}

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// Where along the texture the near ring starts: one texture length per
// Animation ms. The remainder is taken in 64 bits so no stored period traps.
float FlowOffset(int32_t elapsed, int32_t period) {
  if (period == 0) return 0.0f;
  const int64_t rem = static_cast<int64_t>(elapsed) % static_cast<int64_t>(period);
  return static_cast<float>(static_cast<double>(rem) / static_cast<double>(period));
}

// Thirty quads from the near ring at z = -1.4 (opacity `a`) to the far ring
// Length further (opacity 0); the texture runs once along and once around.
void Tube(double radius, float length, float a, float s0) {
  const float s1 = s0 + 1.0f;
  const auto farZ = static_cast<float>(static_cast<double>(NearZ) - static_cast<double>(length));
  float x[Segments + 1], y[Segments + 1];
  for (int k = 0; k <= Segments; ++k) {
    const double theta = k * Pi / 15.0;
    x[k] = static_cast<float>(radius * std::sin(theta));
    y[k] = static_cast<float>(radius * std::cos(theta));
  }
  glBegin(GL_QUADS);
  for (int i = 0; i < Segments; ++i) {
    const float t0 = static_cast<float>(i) / Segments;
    const float t1 = static_cast<float>(i + 1) / Segments;
    glColor4f(1.0f, 1.0f, 1.0f, a);
    glTexCoord2f(s0, t0);
    glVertex3f(x[i], y[i], NearZ);
    glTexCoord2f(s0, t1);
    glVertex3f(x[i + 1], y[i + 1], NearZ);
    glColor4f(1.0f, 1.0f, 1.0f, 0.0f);
    glTexCoord2f(s1, t1);
    glVertex3f(x[i + 1], y[i + 1], farZ);
    glTexCoord2f(s1, t0);
    glVertex3f(x[i], y[i], farZ);
  }
  glEnd();
}

// The blend function picked by the set stays in force after the call.
void Render(uint8_t slot, int32_t, int32_t, int32_t, int32_t elapsed, float, float alpha) {
  opShape::TextureSlot* s = shape.Bound(slot);
  if (!s) return;
  const TTunnelParams& p = shape.SetOf(*s);
  opShape::RefreshTexture(*s, p.Texture, NoneSize);

  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, s->GLName);
  opShape::SetBlendFunction(p.Blending);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  if (p.Rotation != 0)
    glRotatef(static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(p.Rotation)), 0.0f, 0.0f, 1.0f);
  const float s0 = FlowOffset(elapsed, p.Animation);
  const auto a = static_cast<float>(static_cast<double>(p.Alpha) * static_cast<double>(alpha));
  glColor4f(1.0f, 1.0f, 1.0f, a);
  Tube(p.Radius, p.Length, a, s0);
  glPopMatrix();
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TTunnelParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opTunnel
