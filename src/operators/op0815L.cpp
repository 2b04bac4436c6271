#include "operators/op0815L.h"

#include "operators/opShape.h"

namespace op0815L {

namespace {

opShape::Shape<TLinesParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TLinesParams, "0815LCount", "0815L")

void Describe(dllShared::fOperator& op) {
  op.Name = "0815 - Lines";
  op.ParamCount = 7;
  op.Kind = 0;
  DescribeInstances(op);
}

}  // namespace op0815L
