#include "operators/opLinear.h"

#include "operators/opShape.h"

namespace opLinear {

namespace {

opShape::Shape<TLinearParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Linear";
  op.ParamCount = 5;
  op.Kind = 1;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("LinearCount", "Linear"); }

std::vector<TLinearParams>& Sets() { return shape.Sets; }

}  // namespace opLinear
