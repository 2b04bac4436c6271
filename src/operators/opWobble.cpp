#include "operators/opWobble.h"

#include "operators/opShape.h"

namespace opWobble {

namespace {

opShape::Shape<TWobbleParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TWobbleParams, "WobbleCount", "Wobble")

void Describe(dllShared::fOperator& op) {
  op.Name = "Wobble Image";
  op.ParamCount = 7;
  op.Kind = 0;
  DescribeInstances(op);
}

}  // namespace opWobble
