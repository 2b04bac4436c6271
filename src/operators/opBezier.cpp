#include "operators/opBezier.h"

#include "operators/opPath.h"
#include "operators/opShape.h"

namespace opBezier {

namespace {

opShape::Shape<TBezierParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

constexpr float PositionStep = 0.01f;
constexpr float AngleStep = 1.0f;

dllShared::fdPosition positionInfo{};

// The middle rotation is kept X, Z, Y in the record; everything outside
// this module sees it as x, y, z.
dllShared::TVector3 MiddleRotation(const TBezierParams& p) { return {p.MiddleRot.X, p.MiddleRot.Y, p.MiddleRot.Z}; }

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TBezierParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0: opPath::DescribePosition(positionInfo, "Start Pos", p->StartPos, PositionStep); break;
    case 1: opPath::DescribePosition(positionInfo, "Start Rot", p->StartRot, AngleStep); break;
    case 2: opPath::DescribePosition(positionInfo, "Middle Pos", p->MiddlePos, PositionStep); break;
    case 3: opPath::DescribePosition(positionInfo, "Middle Rot", MiddleRotation(*p), AngleStep); break;
    case 4: opPath::DescribePosition(positionInfo, "End Pos", p->EndPos, PositionStep); break;
    case 5: opPath::DescribePosition(positionInfo, "End Rot", p->EndRot, AngleStep); break;
    default: return nullptr;
  }
  if (kind) *kind = dllShared::kindPosition;
  return &positionInfo;
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TBezierParams* p = shape.SetAt(set);
  if (!p || !value) return;
  const dllShared::TVector3 v = param >= 0 && param <= 5 ? opPath::ReadPosition(value) : dllShared::TVector3{};
  switch (param) {
    case 0: p->StartPos = v; break;
    case 1: p->StartRot = v; break;
    case 2: p->MiddlePos = v; break;
    case 3:
      p->MiddleRot.X = v.X;
      p->MiddleRot.Y = v.Y;
      p->MiddleRot.Z = v.Z;
      break;
    case 4: p->EndPos = v; break;
    case 5: p->EndRot = v; break;
    default: break;
  }
}

int32_t NewParamSet() { return shape.NewParamSet(TBezierParams{}); }

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

dllShared::TVector3 Curve(const dllShared::TVector3& s, const dllShared::TVector3& m, const dllShared::TVector3& e,
                          float t) {
  return {opPath::Bezier(s.X, m.X, e.X, t), opPath::Bezier(s.Y, m.Y, e.Y, t), opPath::Bezier(s.Z, m.Z, e.Z, t)};
}

// Moves the next track along a quadratic curve from the start pose,
// pulled towards (not through) the middle pose, to the end pose.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t, float progress, float alpha) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TBezierParams& p = shape.SetOf(*s);
  opPath::RenderFollowingMoved(Curve(p.StartPos, p.MiddlePos, p.EndPos, progress),
                               Curve(p.StartRot, MiddleRotation(p), p.EndRot, progress), width, height, time,
                               alpha);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TBezierParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opBezier
