#include "operators/opSineMove.h"

#include "operators/opShape.h"

namespace opSineMove {

namespace {

opShape::Shape<TSineMoveParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Sinemove";
  op.ParamCount = 5;
  op.Kind = 1;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("SiMoCount", "SiMo"); }

std::vector<TSineMoveParams>& Sets() { return shape.Sets; }

}  // namespace opSineMove
