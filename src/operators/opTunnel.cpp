#include "operators/opTunnel.h"

#include "operators/opShape.h"

namespace opTunnel {

namespace {

opShape::Shape<TTunnelParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

void Startup() { shape.InitInstances(8); }

void Shutdown() {
  shape.Sets.clear();
  shape.Slots.clear();
}

void Describe(dllShared::fOperator& op) {
  op.Name = "Tunnel";
  op.ParamCount = 7;
  op.Kind = 0;
  DescribeInstances(op);
}

void LoadParamSets(bool) { shape.LoadParamSets("TunnelCount", "Tunne\xF6"); }

std::vector<TTunnelParams>& Sets() { return shape.Sets; }

}  // namespace opTunnel
