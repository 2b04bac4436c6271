#include "operators/opImage.h"

#include "operators/opShape.h"

namespace opImage {

namespace {

opShape::Shape<TShowImageParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Show Image";
  op.ParamCount = 6;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("ShwImgCount", "ShwImg"); }

std::vector<TShowImageParams>& Sets() { return shape.Sets; }

}  // namespace opImage
