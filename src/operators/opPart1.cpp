#include "operators/opPart1.h"

#include "operators/opShape.h"

namespace opPart1 {

namespace {

opShape::Shape<TParticleParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TParticleParams, "PSys1Count", "PSys1")

void Describe(dllShared::fOperator& op) {
  op.Name = "Particles 1";
  op.ParamCount = 11;
  op.Kind = 0;
  DescribeInstances(op);
}

}  // namespace opPart1
