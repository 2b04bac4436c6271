#include "operators/opPart1.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "operators/opShape.h"

namespace opPart1 {

namespace {

opShape::Shape<TParticleParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// The slider stops at 512; a damaged set asking for more still draws a
// bounded cloud.
constexpr int32_t MaxAmount = 65536;
constexpr float SizeScale = 100.0f;

// The model-view matrix as it was when this Render began.
float modelView[16];

opShape::ParamInfo info;
dllShared::fdColor colorInfo{};
dllShared::fdPosition positionInfo{};

void* Position(const char* label, const dllShared::TVector3& v, uint8_t* kind) {
  positionInfo = {label, v.X, v.Y, v.Z, 0.1f};
  if (kind) *kind = dllShared::kindPosition;
  return &positionInfo;
}

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TParticleParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0:
      return info.TextureOf("Select Texture", p->Texture, kind);
    case 1: return info.SliderOf("Amount", 1, 512, p->Amount, kind);
    case 2: return info.SliderOf("RandomSeed", 1, 32767, p->RandomSeed, kind);
    case 3: return info.SliderOf("Global Speed", 1, 10000, p->GlobalSpeed, kind);
    case 4:
      colorInfo = {"Color", dllShared::PackColor(p->Color.X, p->Color.Y, p->Color.Z)};
      if (kind) *kind = dllShared::kindColor;
      return &colorInfo;
    case 5: return Position("Startpos", p->StartPos, kind);
    case 6: return Position("Size", p->Size, kind);
    case 7: return info.SliderOf("Particle Size", 1, 200, dllShared::ToSlider(p->ParticleSize, SizeScale), kind);
    case 8: return info.SliderOf("X-Speed", -100, 100, p->XSpeed, kind);
    case 9: return info.SliderOf("Y-Speed", -100, 100, p->YSpeed, kind);
    case 10: return info.SliderOf("Z-Speed", -100, 100, p->ZSpeed, kind);
    default: return nullptr;
  }
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TParticleParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 10) return;
  if (param == 5 || param == 6) {
    std::memcpy(param == 5 ? &p->StartPos : &p->Size, value, sizeof(dllShared::TVector3));
    return;
  }
  int32_t v;
  std::memcpy(&v, value, sizeof v);
  switch (param) {
    case 0: p->Texture = v; break;
    case 1: p->Amount = v; break;
    case 2: p->RandomSeed = v; break;
    case 3: p->GlobalSpeed = v; break;
    case 4: dllShared::UnpackColor(v, p->Color.X, p->Color.Y, p->Color.Z); break;
    case 7: p->ParticleSize = static_cast<float>(static_cast<double>(v) / SizeScale); break;
    case 8: p->XSpeed = v; break;
    case 9: p->YSpeed = v; break;
    case 10: p->ZSpeed = v; break;
    default: break;
  }
}

int32_t NewParamSet() {
  TParticleParams d{};
  d.Amount = 10;
  d.RandomSeed = 123;
  d.GlobalSpeed = 2000;
  d.StartPos = {-2.0f, -2.0f, -6.0f};
  d.Size = {4.0f, 4.0f, 4.0f};
  d.Color = {1.0f, 1.0f, 1.0f};
  d.ParticleSize = 0.1f;
  d.ZSpeed = 100;
  return shape.NewParamSet(d);
}

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// The cloud's generator: a 32-bit linear congruential step, and a draw
// below m taken from the high half of the 64-bit product.
struct Generator {
  uint32_t Seed;
  uint32_t Below(uint32_t m) {
    Seed = Seed * 134775813u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(m) * Seed) >> 32);
  }
};

// Where a particle stands along one axis, as a fraction of the box, and
// the fade that axis gives it near the faces where it wraps.
float AxisFraction(Generator& gen, int32_t globalSpeed, int32_t speed, int32_t time, float& fade) {
  const uint32_t r = gen.Below(static_cast<uint32_t>(globalSpeed));
  const auto travel = static_cast<int32_t>(static_cast<uint32_t>(speed) * static_cast<uint32_t>(time)) / 100;
  const auto v = static_cast<int32_t>(r + static_cast<uint32_t>(travel));
  // In 64 bits, so the lowest dividend by -1 cannot trap.
  const int64_t rem = static_cast<int64_t>(v) % static_cast<int64_t>(globalSpeed);
  auto f = static_cast<float>(static_cast<double>(rem) / static_cast<double>(globalSpeed));
  while (f < 0.0f) f = static_cast<float>(static_cast<double>(f) + 1.0);
  if (f < 0.1)
    fade = static_cast<float>(static_cast<double>(f) * 10.0 * fade);
  else if (f > 0.9)
    fade = static_cast<float>((1.0 - (static_cast<double>(f) - 0.9) * 10.0) * fade);
  return f;
}

// A sprite facing the viewer: right and up are the first two rows of the
// model-view rotation.
void BillboardQuad(const float p[3], float s) {
  const double ds = s;
  const double right[3] = {modelView[0], modelView[4], modelView[8]};
  const double up[3] = {modelView[1], modelView[5], modelView[9]};
  auto corner = [&](double sr, double su) {
    glVertex3f(static_cast<float>(p[0] + sr * ds * right[0] + su * ds * up[0]),
               static_cast<float>(p[1] + sr * ds * right[1] + su * ds * up[1]),
               static_cast<float>(p[2] + sr * ds * right[2] + su * ds * up[2]));
  };
  glTexCoord2i(1, 0);
  corner(1, -1);
  glTexCoord2i(1, 1);
  corner(1, 1);
  glTexCoord2i(0, 1);
  corner(-1, 1);
  glTexCoord2i(0, 0);
  corner(-1, -1);
}

// The cloud is regenerated from the seed and the demo time every frame, so
// a seek shows the right picture at once.
void Render(uint8_t slot, int32_t, int32_t, int32_t time, int32_t, float, float alpha) {
  opShape::TextureSlot* s = shape.Bound(slot);
  if (!s) return;
  const TParticleParams& p = shape.SetOf(*s);
  opShape::RefreshTexture(*s, p.Texture, 0);
  Generator gen{static_cast<uint32_t>(p.RandomSeed)};
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);

  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glBindTexture(GL_TEXTURE_2D, s->GLName);
  glBegin(GL_QUADS);
  // A wrap modulus of 0 has no place to put a particle: nothing is drawn.
  const int32_t amount = p.GlobalSpeed == 0 ? 0 : std::min(p.Amount, MaxAmount);
  const float corner[3] = {p.StartPos.X, p.StartPos.Y, p.StartPos.Z};
  const float extent[3] = {p.Size.X, p.Size.Y, p.Size.Z};
  const int32_t speeds[3] = {p.XSpeed, p.YSpeed, p.ZSpeed};
  for (int32_t k = 1; k <= amount; ++k) {
    float fade = 1.0f;
    gen.Seed += gen.Below(static_cast<uint32_t>(k) * static_cast<uint32_t>(p.RandomSeed));
    float pos[3];
    for (int axis = 0; axis < 3; ++axis) {
      const float f = AxisFraction(gen, p.GlobalSpeed, speeds[axis], time, fade);
      pos[axis] = static_cast<float>(static_cast<double>(corner[axis]) +
                                     static_cast<double>(extent[axis]) * static_cast<double>(f));
    }
    glColor4f(p.Color.X, p.Color.Y, p.Color.Z, static_cast<float>(static_cast<double>(fade) * alpha));
    BillboardQuad(pos, p.ParticleSize);
  }
  glEnd();
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TParticleParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opPart1
