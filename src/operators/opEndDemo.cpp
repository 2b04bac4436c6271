#include "operators/opEndDemo.h"

#include "operators/opShape.h"

namespace opEndDemo {

namespace {

opShape::Shape<TEndDemoParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "End Demo";
  op.ParamCount = 1;
  op.Kind = 2;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("EDCount", "ED"); }

std::vector<TEndDemoParams>& Sets() { return shape.Sets; }

}  // namespace opEndDemo
