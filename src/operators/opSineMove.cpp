#include "operators/opSineMove.h"

#include <cmath>
#include <cstring>

#include "operators/opPath.h"
#include "operators/opShape.h"

namespace opSineMove {

namespace {

opShape::Shape<TSineMoveParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

constexpr int32_t DefaultSpeed = 1000;

dllShared::fdSlider sliderInfo{};

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  TSineMoveParams* p = shape.SetAt(set);
  if (!p || param < 0 || param > 4) return nullptr;
  if (param == 4) {
    sliderInfo = {"Speed", 1, 10000, p->Speed, 0};
    if (kind) *kind = dllShared::kindSlider;
    return &sliderInfo;
  }
  return opPath::DescribePose(*p, param, kind);
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TSineMoveParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 4) return;
  if (param == 4) {
    std::memcpy(&p->Speed, value, sizeof p->Speed);
    return;
  }
  *opPath::PoseTriple(*p, param) = opPath::ReadPosition(value);
}

int32_t NewParamSet() {
  TSineMoveParams d{};
  d.Speed = DefaultSpeed;
  return shape.NewParamSet(d);
}

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// 0.5 - 0.5·cos(elapsed / speed): 0 at the event's start, 1 after
// π·speed ms, back to 0 after 2π·speed ms. A speed of 0 has no period; the
// pose then stays at the start.
float BlendFactor(int32_t elapsed, int32_t speed) {
  if (speed == 0) return 0.0f;
  return static_cast<float>(0.5 - 0.5 * std::cos(static_cast<double>(elapsed) / static_cast<double>(speed)));
}

// Swings the next track between the two poses with a period set by Speed,
// following the event's own elapsed time, not its progress.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t elapsed, float, float alpha) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TSineMoveParams& p = shape.SetOf(*s);
  const float f = BlendFactor(elapsed, p.Speed);
  opPath::RenderFollowingMoved(opPath::Lerp(p.StartPos, p.EndPos, f), opPath::Lerp(p.StartRot, p.EndRot, f), width,
                               height, time, alpha);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TSineMoveParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opSineMove
