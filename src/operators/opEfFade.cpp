#include "operators/opEfFade.h"

#include "operators/opShape.h"

namespace opEfFade {

namespace {

opShape::Shape<TEffectFadeParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Effect Fader";
  op.ParamCount = 2;
  op.Kind = 1;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("EfFadeCount", "EfFade"); }

std::vector<TEffectFadeParams>& Sets() { return shape.Sets; }

}  // namespace opEfFade
