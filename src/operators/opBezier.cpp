#include "operators/opBezier.h"

#include "operators/opShape.h"

namespace opBezier {

namespace {

opShape::Shape<TBezierParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Bezier";
  op.ParamCount = 6;
  op.Kind = 1;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("BezierCount", "Bezier"); }

std::vector<TBezierParams>& Sets() { return shape.Sets; }

}  // namespace opBezier
