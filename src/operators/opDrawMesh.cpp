#include "operators/opDrawMesh.h"

#include "operators/opShape.h"

namespace opDrawMesh {

namespace {

opShape::Shape<TDrawMeshParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TDrawMeshParams, "DrawMCount", "DrawM")

void Describe(dllShared::fOperator& op) {
  op.Name = "Simple DrawMesh";
  op.ParamCount = 5;
  op.Kind = 0;
  DescribeInstances(op);
}

}  // namespace opDrawMesh
