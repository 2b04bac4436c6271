#include "operators/opImgDist.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "operators/opShape.h"
#include "operators/opView.h"

namespace opImgDist {

namespace {

opShape::Shape<TImageDistortionParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

constexpr float SliderScale = 512.0f;
constexpr int32_t NoneSize = 10;
// The slider stops at 500 strips; a damaged set asking for more still
// draws a bounded picture.
constexpr int32_t MaxStrips = 65536;

opShape::ParamInfo info;

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TImageDistortionParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0:
      return info.TextureOf("Select Texture", p->Texture, kind);
    case 1: return info.SliderOf("Damage", 0, 512, dllShared::ToSlider(p->Damage, SliderScale), kind);
    case 2: return info.SliderOf("Quality", 10, 500, p->Quality, kind);
    case 3: return info.SliderOf("Speed", 1, 10000, p->Speed, kind);
    case 4: return info.SliderOf("X", -512, 512, dllShared::ToSlider(p->X, SliderScale), kind);
    case 5: return info.SliderOf("Y", -512, 512, dllShared::ToSlider(p->Y, SliderScale), kind);
    default: return nullptr;
  }
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TImageDistortionParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 5) return;
  int32_t v;
  std::memcpy(&v, value, sizeof v);
  const float scaled = static_cast<float>(static_cast<double>(v) / SliderScale);
  switch (param) {
    case 0: p->Texture = v; break;
    case 1: p->Damage = scaled; break;
    case 2: p->Quality = v; break;
    case 3: p->Speed = v; break;
    case 4: p->X = scaled; break;
    case 5: p->Y = scaled; break;
    default: break;
  }
}

int32_t NewParamSet() { return shape.NewParamSet(TImageDistortionParams{0, 0.0f, 0.0f, 1.0f, 20, 1000}); }

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// The texture as a stack of horizontal strips over the whole window, each
// pushed right by two waves: the first runs on the event's own time, the
// second on the demo time. Strips darken and shift more the further they
// lie from the height 1 + Y. The strips set an opaque grey, so the alpha
// handed in is overridden.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t elapsed, float, float alpha) {
  opShape::TextureSlot* s = shape.Bound(slot);
  if (!s) return;
  const TImageDistortionParams& p = shape.SetOf(*s);
  opShape::RefreshTexture(*s, p.Texture, NoneSize);

  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, s->GLName);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  opView::BeginPixelSpace(width, height);

  const int32_t q = std::min(p.Quality, MaxStrips);
  const double strips = q;
  const double h = height;
  glBegin(GL_QUADS);
  for (int32_t i = 0; i < q; ++i) {
    // A stored speed of 0 has no time scale: the first wave stands still at 0.
    const double a = p.Speed == 0 ? 0.0 : std::sin(static_cast<double>(elapsed) / p.Speed + i) * p.X * 20.0;
    const double b = std::fabs(std::sin(time / (p.Damage * 80.0 + 4.0) + i / std::numbers::pi) * a);
    const double d = 1.0 - (i / strips - p.Y);
    const auto shift = static_cast<float>(d * d * b);
    const auto grey = static_cast<float>(1.0 - d * d * 0.25);
    glColor3f(grey, grey, grey);
    const auto v0 = static_cast<float>(i / strips);
    const auto v1 = static_cast<float>((i + 1) / strips);
    const auto y0 = static_cast<float>(i / strips * h);
    const auto y1 = static_cast<float>((i + 1) / strips * h);
    const auto right = static_cast<float>(width + static_cast<double>(shift));
    glTexCoord2f(0.0f, v0);
    glVertex2f(shift, y0);
    glTexCoord2f(1.0f, v0);
    glVertex2f(right, y0);
    glTexCoord2f(1.0f, v1);
    glVertex2f(right, y1);
    glTexCoord2f(0.0f, v1);
    glVertex2f(shift, y1);
  }
  glEnd();

  opView::RestorePerspective(width, height);
  glPopMatrix();
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TImageDistortionParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opImgDist
