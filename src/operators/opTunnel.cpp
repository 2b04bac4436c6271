#include "operators/opTunnel.h"

#include "operators/opShape.h"

namespace opTunnel {

namespace {

opShape::Shape<TTunnelParams, opShape::TextureSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TTunnelParams, "TunnelCount", "Tunne\xF6")

void Describe(dllShared::fOperator& op) {
  op.Name = "Tunnel";
  op.ParamCount = 7;
  op.Kind = 0;
  DescribeInstances(op);
}

}  // namespace opTunnel
