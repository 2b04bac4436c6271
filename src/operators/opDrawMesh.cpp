#include "operators/opDrawMesh.h"

#include <GL/gl.h>

#include "operators/opShape.h"

namespace opDrawMesh {

namespace {

opShape::Shape<TDrawMeshParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

// Places mesh `Mesh` - 1 at the set's position and angles and has the host
// draw it in the groups' own colours, or lit by OpenGL's default light.
// The angles turn X first, the reverse of the movement operators.
void Render(uint8_t slot, int32_t, int32_t, int32_t, int32_t, float, float) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TDrawMeshParams& p = shape.SetOf(*s);
  // A negative number names no mesh, like 0: nothing drawn, no state touched.
  if (p.Mesh <= 0) return;
  const bool lit = p.Lighting == 1;

  glPushMatrix();
  glTranslatef(p.Position.X, p.Position.Y, p.Position.Z);
  glRotatef(p.Rotation.X, 1.0f, 0.0f, 0.0f);
  glRotatef(p.Rotation.Y, 0.0f, 1.0f, 0.0f);
  glRotatef(p.Rotation.Z, 0.0f, 0.0f, 1.0f);
  if (lit) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
  } else {
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  }
  // A number beyond the store is passed on; the host ignores it.
  if (dllShared::Host.DrawMesh) dllShared::Host.DrawMesh(p.Mesh - 1, true, 0.01f);
  // GL_LIGHT0 stays on: it does nothing while lighting is off.
  if (lit) glDisable(GL_LIGHTING);
  glPopMatrix();
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TDrawMeshParams)

// DrawMesh sets are only ever read from the demo file: no editing entries.
void Describe(dllShared::fOperator& op) {
    DescribeCommon(op);
  op.Render = Render;
}

}  // namespace opDrawMesh
