#include "operators/opEfFade.h"

#include <cstring>

#include "operators/opPath.h"
#include "operators/opShape.h"

namespace opEfFade {

namespace {

opShape::Shape<TEffectFadeParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// Opacities are shown on 0..512 sliders.
constexpr float SliderScale = 512.0f;

dllShared::fdSlider sliderInfo{};

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TEffectFadeParams* p = shape.SetAt(set);
  if (!p || param < 0 || param > 1) return nullptr;
  const float value = param == 0 ? p->StartAlpha : p->EndAlpha;
  sliderInfo = {param == 0 ? "Start" : "End", 0, 512, dllShared::ToSlider(value, SliderScale), 0};
  if (kind) *kind = dllShared::kindSlider;
  return &sliderInfo;
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TEffectFadeParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 1) return;
  int32_t v;
  std::memcpy(&v, value, sizeof v);
  const float stored = static_cast<float>(static_cast<double>(v) / SliderScale);
  (param == 0 ? p->StartAlpha : p->EndAlpha) = stored;
}

int32_t NewParamSet() { return shape.NewParamSet(TEffectFadeParams{0.0f, 1.0f}); }

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// Draws nothing itself: the next track is rendered with this event's
// opacity in place of the one handed in, so nested faders do not compound.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t, float progress, float) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TEffectFadeParams& p = shape.SetOf(*s);
  const float a = opPath::Lerp(p.StartAlpha, p.EndAlpha, progress);
  if (dllShared::Host.RenderFollowing) dllShared::Host.RenderFollowing(width, height, time, a, 0);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TEffectFadeParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opEfFade
