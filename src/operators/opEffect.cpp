#include "operators/opEffect.h"

#include "operators/opShape.h"

namespace opEffect {

namespace {

opShape::Shape<TRenderToTextureParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Render To Texture";
  op.ParamCount = 2;
  op.Kind = 1;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("Rn2TexCount", "Rn2Tex"); }

std::vector<TRenderToTextureParams>& Sets() { return shape.Sets; }

}  // namespace opEffect
