#include "operators/opImgDist.h"

#include "operators/opShape.h"

namespace opImgDist {

namespace {

opShape::Shape<TImageDistortionParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Image Distortion";
  op.ParamCount = 6;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("ImgDstCount", "ImgDst"); }

std::vector<TImageDistortionParams>& Sets() { return shape.Sets; }

}  // namespace opImgDist
