#include "operators/opEffect.h"

#include "operators/opShape.h"

namespace opEffect {

namespace {

opShape::Shape<TRenderToTextureParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TRenderToTextureParams, "Rn2TexCount", "Rn2Tex")

void Describe(dllShared::fOperator& op) {
  op.Name = "Render To Texture";
  op.ParamCount = 2;
  op.Kind = 1;
  DescribeInstances(op);
}

}  // namespace opEffect
