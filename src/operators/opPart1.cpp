#include "operators/opPart1.h"

#include "operators/opShape.h"

namespace opPart1 {

namespace {

opShape::Shape<TParticleParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Particles 1";
  op.ParamCount = 11;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("PSys1Count", "PSys1"); }

std::vector<TParticleParams>& Sets() { return shape.Sets; }

}  // namespace opPart1
