// opPath: what the movement operators (Linear, Bezier, Sinemove) share.
//
// Each one blends a pose out of its parameter set, puts it on top of the
// current model-view matrix and renders the next track under it, so chains
// of movement operators on consecutive tracks multiply together.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstring>

#include "engine/dllShared.h"

namespace opPath {

// (1 - f)·a + f·b on float inputs, computed in double and rounded once.
inline float Lerp(float a, float b, float f) {
  const double t = f;
  return static_cast<float>((1.0 - t) * static_cast<double>(a) + t * static_cast<double>(b));
}

inline dllShared::TVector3 Lerp(const dllShared::TVector3& a, const dllShared::TVector3& b, float f) {
  return {Lerp(a.X, b.X, f), Lerp(a.Y, b.Y, f), Lerp(a.Z, b.Z, f)};
}

// The quadratic Bezier value (1 - t)²·s + 2t(1 - t)·m + t²·e, in double.
inline float Bezier(float s, float m, float e, float t) {
  const double u = t;
  const double v = 1.0 - u;
  return static_cast<float>(v * v * static_cast<double>(s) + 2.0 * u * v * static_cast<double>(m) +
                            u * u * static_cast<double>(e));
}

// Translation, then the rotations about Z, Y and X (degrees), then the next
// track, all inside one push/pop of the model-view matrix. Nothing else of
// the GL state is touched.
inline void RenderFollowingMoved(const dllShared::TVector3& pos, const dllShared::TVector3& rot, int32_t width,
                                 int32_t height, int32_t time, float alpha) {
  glPushMatrix();
  glTranslatef(pos.X, pos.Y, pos.Z);
  glRotatef(rot.Z, 0.0f, 0.0f, 1.0f);
  glRotatef(rot.Y, 0.0f, 1.0f, 0.0f);
  glRotatef(rot.X, 1.0f, 0.0f, 0.0f);
  if (dllShared::Host.RenderFollowing) dllShared::Host.RenderFollowing(width, height, time, alpha, 0);
  glPopMatrix();
}

// The editing entries' descriptor for one x, y, z triple.
inline void DescribePosition(dllShared::fdPosition& d, const char* label, const dllShared::TVector3& v,
                             float step) {
  d = {label, v.X, v.Y, v.Z, step};
}

// The three floats SetParamValue hands a position parameter.
inline dllShared::TVector3 ReadPosition(const void* value) {
  float f[3];
  std::memcpy(f, value, sizeof f);
  return {f[0], f[1], f[2]};
}

// Linear and Sinemove list their poses alike, start first, as parameters
// 0..3: "Start Pos", "Start Rot", "End Pos", "End Rot"; their records keep
// both positions first.
template <class Params>
dllShared::TVector3* PoseTriple(Params& p, int32_t param) {
  switch (param) {
    case 0: return &p.StartPos;
    case 1: return &p.StartRot;
    case 2: return &p.EndPos;
    case 3: return &p.EndRot;
    default: return nullptr;
  }
}

// The descriptor of pose parameter 0..3; one record per operator type.
template <class Params>
void* DescribePose(Params& p, int32_t param, uint8_t* kind) {
  static dllShared::fdPosition info{};
  static const char* const labels[4] = {"Start Pos", "Start Rot", "End Pos", "End Rot"};
  const dllShared::TVector3* v = PoseTriple(p, param);
  if (!v) return nullptr;
  DescribePosition(info, labels[param], *v, param % 2 == 0 ? 0.01f : 1.0f);
  if (kind) *kind = dllShared::kindPosition;
  return &info;
}

}  // namespace opPath
