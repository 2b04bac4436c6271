#include "operators/opEffect.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "operators/opShape.h"

namespace opEffect {

namespace {

opShape::Shape<TRenderToTextureParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// Without a texture the tracks are still rendered, at this size.
constexpr int32_t NoneSize = 256;
// No track can have more followers than this; a larger stored count would
// only spin through calls that render nothing.
constexpr int32_t MaxFollowers = 31;

opShape::ParamInfo info;

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TRenderToTextureParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0:
      return info.TextureOf("Select Render Texture", p->Texture, kind);
    case 1:
      return info.SliderOf("Render beneath", 1, 15, p->RenderBeneath, kind);
    default:
      return nullptr;
  }
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TRenderToTextureParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 1) return;
  std::memcpy(param == 0 ? &p->Texture : &p->RenderBeneath, value, sizeof(int32_t));
}

int32_t NewParamSet() { return shape.NewParamSet(TRenderToTextureParams{0, 0}); }

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// The following tracks are drawn into the lower-left corner of the frame
// buffer at the texture's size and copied into the texture; both clears
// take the whole buffer, so only tracks after the consumed ones stay on
// screen.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t, float, float alpha) {
  opShape::TextureSlot* s = shape.Bound(slot);
  if (!s) return;
  const TRenderToTextureParams& p = shape.SetOf(*s);
  opShape::RefreshTexture(*s, p.Texture, NoneSize);

  glPushMatrix();
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, s->TexWidth, s->TexHeight);
  const int32_t followers = std::min(p.RenderBeneath, MaxFollowers);
  for (int32_t i = 0; i < followers; ++i)
    if (dllShared::Host.RenderFollowing) dllShared::Host.RenderFollowing(s->TexWidth, s->TexHeight, time, alpha, 0);
  glBindTexture(GL_TEXTURE_2D, s->GLName);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 0, 0, s->TexWidth, s->TexHeight, 0);
  glViewport(0, 0, width, height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glPopMatrix();
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TRenderToTextureParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opEffect
