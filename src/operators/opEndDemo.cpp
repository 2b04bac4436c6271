#include "operators/opEndDemo.h"

#include "engine/scheduler.h"
#include "operators/opShape.h"

namespace opEndDemo {

namespace {

opShape::Shape<TEndDemoParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// Raises the flag the main loop reads after the frame is shown; the frame
// itself, later tracks included, is drawn as usual. The set's value plays
// no part.
void Render(uint8_t slot, int32_t, int32_t, int32_t, int32_t, float, float) {
  if (shape.Bound(slot)) scheduler::DemoFinished = 1;
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TEndDemoParams)

// End Demo sets are only ever read from the demo file: no editing entries.
void Describe(dllShared::fOperator& op) {
    DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opEndDemo
