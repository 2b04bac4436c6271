#include "operators/opDrawMesh.h"

#include "operators/opShape.h"

namespace opDrawMesh {

namespace {

opShape::Shape<TDrawMeshParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Simple DrawMesh";
  op.ParamCount = 5;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("DrawMCount", "DrawM"); }

std::vector<TDrawMeshParams>& Sets() { return shape.Sets; }

}  // namespace opDrawMesh
