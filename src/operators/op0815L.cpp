#include "operators/op0815L.h"

#include "operators/opShape.h"

namespace op0815L {

namespace {

opShape::Shape<TLinesParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "0815 - Lines";
  op.ParamCount = 7;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("0815LCount", "0815L"); }

std::vector<TLinesParams>& Sets() { return shape.Sets; }

}  // namespace op0815L
