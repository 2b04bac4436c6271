#include "operators/opLinear.h"

#include <cstring>

#include "operators/opPath.h"
#include "operators/opShape.h"

namespace opLinear {

namespace {

opShape::Shape<TLinearParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)


dllShared::fdSlider sliderInfo{};

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  TLinearParams* p = shape.SetAt(set);
  if (!p || param < 0 || param > 4) return nullptr;
  if (param == 4) {
    sliderInfo = {"Hold position", 0, 1, p->HoldPosition, 0};
    if (kind) *kind = dllShared::kindSlider;
    return &sliderInfo;
  }
  return opPath::DescribePose(*p, param, kind);
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TLinearParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 4) return;
  if (param == 4) {
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    p->HoldPosition = static_cast<uint8_t>(v & 0xFF);
    return;
  }
  *opPath::PoseTriple(*p, param) = opPath::ReadPosition(value);
}

int32_t NewParamSet() { return shape.NewParamSet(TLinearParams{}); }

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// Moves the next track from the start pose to the end pose over the event;
// HoldPosition 1 pins it to the start pose, any other value moves.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t, float progress, float alpha) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TLinearParams& p = shape.SetOf(*s);
  if (p.HoldPosition == 1)
    opPath::RenderFollowingMoved(p.StartPos, p.StartRot, width, height, time, alpha);
  else
    opPath::RenderFollowingMoved(opPath::Lerp(p.StartPos, p.EndPos, progress),
                                 opPath::Lerp(p.StartRot, p.EndRot, progress), width, height, time, alpha);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TLinearParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opLinear
