#include "operators/opWobble.h"

#include "operators/opShape.h"

namespace opWobble {

namespace {

opShape::Shape<TWobbleParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Wobble Image";
  op.ParamCount = 7;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("WobbleCount", "Wobble"); }

std::vector<TWobbleParams>& Sets() { return shape.Sets; }

}  // namespace opWobble
