#include "operators/opImage.h"

#include <GL/gl.h>

#include <cstring>

#include "operators/opShape.h"
#include "operators/opView.h"

namespace opImage {

namespace {

opShape::Shape<TShowImageParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// Zoom and opacity are shown on 0..512 sliders.
constexpr float SliderScale = 512.0f;
// Texture number 0 draws an untextured 10 x 10 stand-in, i.e. a square.
constexpr int32_t NoneSize = 10;
// The first draw mode past the three that draw.
constexpr uint8_t DrawNothing = 3;

opShape::ParamInfo info;
dllShared::fdPosition positionInfo{};

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TShowImageParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0:
      return info.TextureOf("Select Texture", p->Texture, kind);
    case 1:
      return info.SliderOf("Size/Zoom", 0, 512, dllShared::ToSlider(p->Zoom, SliderScale), kind);
    case 2:
      return info.SliderOf("Draw Mode", 0, 2, p->DrawMode, kind);
    case 3:
      return info.SliderOf("Blend Mode", 0, 4, p->BlendMode, kind);
    case 4:
      return info.SliderOf("Alpha", 0, 512, dllShared::ToSlider(p->Alpha, SliderScale), kind);
    case 5:
      // The picture lies in the x/y plane, but the position editor moves
      // things in x and z: the editor's z is the picture's y.
      positionInfo = {"Position", p->X, 0.0f, p->Y, 0.01f};
      if (kind) *kind = dllShared::kindPosition;
      return &positionInfo;
    default:
      return nullptr;
  }
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TShowImageParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 5) return;
  if (param == 5) {
    float xyz[3];
    std::memcpy(xyz, value, sizeof xyz);
    p->X = xyz[0];
    p->Y = xyz[2];
    return;
  }
  int32_t v;
  std::memcpy(&v, value, sizeof v);
  const auto scaled = [v] { return static_cast<float>(static_cast<double>(v) / SliderScale); };
  switch (param) {
    case 0: p->Texture = v; break;
    case 1: p->Zoom = scaled(); break;
    case 2: p->DrawMode = static_cast<uint8_t>(v & 0xFF); break;
    case 3: p->BlendMode = static_cast<uint8_t>(v & 0xFF); break;
    case 4: p->Alpha = scaled(); break;
    default: break;
  }
}

int32_t NewParamSet() {
  TShowImageParams d{};
  d.Zoom = 1.0f;
  d.Alpha = 1.0f;
  return shape.NewParamSet(d);
}

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

void TexturedQuad(float left, float bottom, float right, float top, float z) {
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(left, bottom, z);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(right, bottom, z);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(right, top, z);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(left, top, z);
  glEnd();
}

// The whole window in pixel coordinates; Zoom picks the texture window
// [1 - Zoom, Zoom], so 1 maps the texture exactly once. The standard
// perspective projection is put back afterwards.
void DrawOverlay(float zoom, int32_t width, int32_t height) {
  opView::BeginPixelSpace(width, height);
  const float t = static_cast<float>(1.0 - static_cast<double>(zoom));
  const auto w = static_cast<float>(width);
  const auto h = static_cast<float>(height);
  glBegin(GL_QUADS);
  glTexCoord2f(t, t);
  glVertex2f(0.0f, 0.0f);
  glTexCoord2f(zoom, t);
  glVertex2f(w, 0.0f);
  glTexCoord2f(zoom, zoom);
  glVertex2f(w, h);
  glTexCoord2f(t, zoom);
  glVertex2f(0.0f, h);
  glEnd();
  opView::RestorePerspective(width, height);
}

void Render(uint8_t slot, int32_t width, int32_t height, int32_t, int32_t, float, float alpha) {
  opShape::TextureSlot* s = shape.Bound(slot);
  if (!s) return;
  const TShowImageParams& p = shape.SetOf(*s);
  opShape::RefreshTexture(*s, p.Texture, NoneSize);
  // A texture number naming an entry without an image (its file failed to
  // load) has no size to give the quad: nothing is drawn, rather than a
  // quad of undefined size, but the state is left as after any other call.
  // The host answers a number beyond the table the same way.
  const bool hasImage = p.Texture <= 0 || (s->GLName != 0 && s->TexWidth > 0 && s->TexHeight > 0);

  glPushMatrix();
  glTranslatef(p.X, p.Y, 0.0f);
  glBindTexture(GL_TEXTURE_2D, s->GLName);
  opShape::SetBlendFunction(p.BlendMode);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, static_cast<float>(static_cast<double>(p.Alpha) * static_cast<double>(alpha)));

  const float zoom = p.Zoom;
  const float za = static_cast<float>(static_cast<double>(zoom) * s->Aspect);
  switch (hasImage ? p.DrawMode : DrawNothing) {
    case 0:
      glTranslatef(0.0f, 0.0f, -1.4f);
      TexturedQuad(-zoom, -za, zoom, za, 0.0f);
      break;
    case 1:
      DrawOverlay(zoom, width, height);
      break;
    case 2: {
      const float z2 = static_cast<float>(2.0 * zoom);
      const float za2 = static_cast<float>(2.0 * za);
      TexturedQuad(-z2, -za2, z2, za2, 0.0f);
      break;
    }
    default:
      break;  // no such mode: nothing is drawn
  }

  glPopMatrix();
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TShowImageParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opImage
