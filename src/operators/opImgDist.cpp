#include "operators/opImgDist.h"

#include "operators/opShape.h"

namespace opImgDist {

namespace {

opShape::Shape<TImageDistortionParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TImageDistortionParams, "ImgDstCount", "ImgDst")

void Describe(dllShared::fOperator& op) {
  op.Name = "Image Distortion";
  op.ParamCount = 6;
  op.Kind = 0;
  DescribeInstances(op);
}

}  // namespace opImgDist
