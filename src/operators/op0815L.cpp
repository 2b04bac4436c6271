#include "operators/op0815L.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "operators/opPath.h"
#include "operators/opShape.h"

namespace op0815L {

namespace {

opShape::Shape<TLinesParams, opShape::PlainSlot> shape;

QVL_OPERATOR_SHAPE_ENTRIES(shape)

constexpr double Pi = 3.14159265358979323846;
// More lines than this add nothing to the picture but could stall a frame
// for minutes.
constexpr int32_t MaxLineSteps = 1 << 16;
constexpr int PointsPerLine = 11;

// The start point of the line at angle phi at animation time t; shapes other
// than 1 travel the shape-0 path.
dllShared::TVector3 StartPoint(int32_t shapeNo, double t, double phi) {
  if (shapeNo == 1) {
    const auto a = static_cast<float>(std::sin(1.2 * t) * std::sin(phi));
    const auto b = static_cast<float>(std::cos(static_cast<double>(a) + t) * std::sin(phi + 0.1 * t));
    return {a, b, static_cast<float>(static_cast<double>(a) * b + b)};
  }
  const auto a = static_cast<float>(std::sin(0.9 * t + phi));
  const auto b = static_cast<float>(std::cos(1.2453 * t + phi));
  return {a, b, static_cast<float>(static_cast<double>(a) * b - a)};
}

// A fan of N + 1 short bowed lines whose start points travel closed paths.
// Only `elapsed` moves them; the event's alpha and progress do not.
void Render(uint8_t slot, int32_t, int32_t, int32_t, int32_t elapsed, float, float) {
  const opShape::PlainSlot* s = shape.Bound(slot);
  if (!s) return;
  const TLinesParams& p = shape.SetOf(*s);

  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, 0);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);

  // TimeScale 0 is a still picture at t = 0; LineSteps 0 one line at phi 0.
  const float t =
      p.TimeScale != 0 ? static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(p.TimeScale)) : 0.0f;
  const int32_t steps = std::min(p.LineSteps, MaxLineSteps);
  const auto alpha = static_cast<float>(static_cast<double>(p.Opacity) / 5.0);
  const double sinT = std::sin(static_cast<double>(t));
  dllShared::TVector3 end{}, bow{};
  for (int32_t k = 0; k <= steps; ++k) {
    const double spread = steps != 0 ? static_cast<double>(k) / steps : 0.0;
    glBegin(GL_LINE_STRIP);
    const dllShared::TVector3 start = StartPoint(p.Shape, t, 2.0 * Pi * spread);
    // A non-zero FixedEnds keeps the first line's end and bow for the rest.
    if (p.FixedEnds == 0 || k == 0) {
      end = {static_cast<float>(static_cast<double>(start.X) + 1.0), start.Y, start.Z};
      bow = {static_cast<float>(static_cast<double>(start.X) + 1.0 + 0.5 * sinT),
             static_cast<float>(static_cast<double>(start.Y) + 0.2 * sinT * std::sin(spread)), start.Z};
    }
    for (int j = 0; j < PointsPerLine; ++j) {
      const float u = static_cast<float>(j) / 10.0f;
      glColor4f(p.Red, p.Green, p.Blue, alpha);
      glVertex3f(opPath::Bezier(start.X, bow.X, end.X, u), opPath::Bezier(start.Y, bow.Y, end.Y, u),
                 opPath::Bezier(start.Z, bow.Z, end.Z, u));
    }
    glEnd();
  }

  glDisable(GL_BLEND);
  glPopMatrix();
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TLinesParams)

// Lines sets are only ever read from the demo file: no editing entries.
void Describe(dllShared::fOperator& op) {
    DescribeCommon(op);
  op.Render = Render;
}

}  // namespace op0815L
