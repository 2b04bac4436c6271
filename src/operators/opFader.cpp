#include "operators/opFader.h"

#include "operators/opShape.h"

namespace opFader {

namespace {

opShape::Shape<TFaderParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Fader";
  op.ParamCount = 4;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("FaderCount", "Fader"); }

std::vector<TFaderParams>& Sets() { return shape.Sets; }

}  // namespace opFader
