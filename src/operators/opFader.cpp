#include "operators/opFader.h"

#include <GL/gl.h>

#include "operators/opPath.h"
#include "operators/opShape.h"

namespace opFader {

namespace {

opShape::Shape<TFaderParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// A flat quad over the whole view, blended from the start colour and
// opacity to the end ones. Drawn in the current model-view space, so a
// movement operator in front of it moves the fade too.
void Render(uint8_t slot, int32_t, int32_t, int32_t, int32_t, float progress, float alpha) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TFaderParams& p = shape.SetOf(*s);

  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glTranslatef(0.0f, 0.0f, -1.4f);
  // The opacity and the alpha handed in are multiplied before the one
  // rounding to float, like the colour channels.
  const double t = progress;
  const double opacity = (1.0 - t) * static_cast<double>(p.StartAlpha) + t * static_cast<double>(p.EndAlpha);
  glColor4f(opPath::Lerp(p.StartRed, p.EndRed, progress), opPath::Lerp(p.StartGreen, p.EndGreen, progress),
            opPath::Lerp(p.StartBlue, p.EndBlue, progress), static_cast<float>(opacity * static_cast<double>(alpha)));
  glBegin(GL_QUADS);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glVertex3f(1.0f, 1.0f, 0.0f);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glEnd();
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPopMatrix();
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TFaderParams)

// Fader sets are only ever read from the demo file: no editing entries.
void Describe(dllShared::fOperator& op) {
    DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opFader
