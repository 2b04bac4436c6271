#include "script/scriptShapes.h"

#include <GL/gl.h>

#include <cmath>

#include "script/scripter.h"

namespace scripter::shapes {

namespace {

using ext = long double;
constexpr ext Pi = 3.14159265358979323846264338327950288L;

float F(ext v) { return static_cast<float>(v); }

// Angle 2*pi*i/n.
ext Angle(int64_t i, int64_t n) { return 2.0L * Pi * static_cast<ext>(i) / static_cast<ext>(n); }

// P(a, r, z) = (r sin a, r cos a, z): angles run from +y toward +x.
void PointAt(ext a, ext r, float z) { GL.Vertex3f(F(r * std::sin(a)), F(r * std::cos(a)), z); }

void Tex(ext s, ext t) { GL.TexCoord2f(F(s), F(t)); }

// Sphere and rays: counts and radius made positive; false when they draw
// nothing.
bool SphereSize(int32_t n, float r, int64_t& nn, ext& rr) {
  nn = n < 0 ? -static_cast<int64_t>(n) : n;
  rr = r < 0 ? -static_cast<ext>(r) : static_cast<ext>(r);
  return nn >= 4 && rr > 0;
}

// A fan around a centre at height `apex`, rim in the plane z = 0.
void Fan(int32_t n, float r, float apex) {
  GL.Begin(GL_TRIANGLES);
  ext prevS = 0, prevC = 1;
  for (int64_t k = 1; k <= n; ++k) {
    const ext a = Angle(k, n);
    const ext s = std::sin(a), c = std::cos(a);
    Tex(0.5L, 0.5L);
    GL.Vertex3f(0.0f, 0.0f, apex);
    Tex(0.5L + 0.5L * s, 0.5L + 0.5L * c);
    GL.Vertex3f(F(r * s), F(r * c), 0.0f);
    Tex(0.5L + 0.5L * prevS, 0.5L + 0.5L * prevC);
    GL.Vertex3f(F(r * prevS), F(r * prevC), 0.0f);
    prevS = s;
    prevC = c;
  }
  GL.End();
}

}  // namespace

void Quad(float y0, float x1, float y1, float x0) {
  GL.Begin(GL_QUADS);
  GL.TexCoord2f(0, 1);
  GL.Vertex3f(x0, y1, -1);
  GL.TexCoord2f(1, 1);
  GL.Vertex3f(x1, y1, -1);
  GL.TexCoord2f(1, 0);
  GL.Vertex3f(x1, y0, -1);
  GL.TexCoord2f(0, 0);
  GL.Vertex3f(x0, y0, -1);
  GL.End();
}

void Box(float hx, float hy, float hz) {
  // Corner signs of the six faces: back, front, bottom, top, left, right.
  static const int8_t faces[6][4][3] = {
      {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},  {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
      {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},  {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}},
      {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},  {{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}},
  };
  static const float tex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  GL.Begin(GL_QUADS);
  for (const auto& face : faces)
    for (int v = 0; v < 4; ++v) {
      GL.TexCoord2f(tex[v][0], tex[v][1]);
      GL.Vertex3f(face[v][0] < 0 ? -hx : hx, face[v][1] < 0 ? -hy : hy, face[v][2] < 0 ? -hz : hz);
    }
  GL.End();
}

void Ring(int32_t n, float r0, float r1) {
  GL.Begin(GL_QUADS);
  for (int64_t i = 0; i < n; ++i) {
    const ext a = Angle(i, n), b = Angle(i + 1, n);
    const ext s0 = static_cast<ext>(i) / n, s1 = static_cast<ext>(i + 1) / n;
    Tex(s0, 0);
    PointAt(a, r0, 0);
    Tex(s1, 0);
    PointAt(b, r0, 0);
    Tex(s1, 1);
    PointAt(b, r1, 0);
    Tex(s0, 1);
    PointAt(a, r1, 0);
  }
  GL.End();
}

void Disc(int32_t n, float r) { Fan(n, r, 0.0f); }

void Cone(int32_t n, float r, float h) { Fan(n, r, h); }

void Sphere(int32_t n, float r) {
  int64_t nn;
  ext rr;
  if (!SphereSize(n, r, nn, rr)) return;
  const ext halfPi = Pi / 2;
  for (int64_t j = 0; j < nn / 2; ++j) {
    const float lat0 = F(Angle(j, nn) - halfPi), lat1 = F(Angle(j + 1, nn) - halfPi);
    const ext t0 = 2.0L * static_cast<ext>(j) / nn, t1 = 2.0L * static_cast<ext>(j + 1) / nn;
    GL.Begin(GL_TRIANGLE_STRIP);
    for (int64_t i = 0; i <= nn; ++i) {
      const float lon = F(Angle(i, nn));
      const ext cl = std::cos(static_cast<ext>(lon)), sl = std::sin(static_cast<ext>(lon));
      const ext s = 1.0L - static_cast<ext>(i) / nn;
      for (int pass = 0; pass < 2; ++pass) {
        const ext lat = pass == 0 ? lat1 : lat0;
        const ext x = std::cos(lat) * cl, y = std::sin(lat), z = std::cos(lat) * sl;
        GL.Normal3f(F(x), F(y), F(z));
        Tex(s, pass == 0 ? t1 : t0);
        GL.Vertex3f(F(rr * x), F(rr * y), F(rr * z));
      }
    }
    GL.End();
  }
}

void Rays(int32_t n, float r, float k) {
  int64_t nn;
  ext rr;
  if (!SphereSize(n, r, nn, rr)) return;
  const ext kk = k;
  for (int64_t j = 0; j < nn / 2; ++j) {
    const float lat = F(Angle(j + 1, nn) - Pi / 2);
    const ext cl = std::cos(static_cast<ext>(lat)), sl = std::sin(static_cast<ext>(lat));
    GL.Begin(GL_LINES);
    for (int64_t i = 0; i <= nn; ++i) {
      const float lon = F(Angle(i, nn));
      const ext x = rr * (cl * std::cos(static_cast<ext>(lon))), y = rr * sl,
                z = rr * (cl * std::sin(static_cast<ext>(lon)));
      GL.Color4f(1, 1, 1, 1);
      GL.Vertex3f(F(x), F(y), F(z));
      GL.Color4f(1, 1, 1, 0);
      GL.Vertex3f(F(kk * x), F(kk * y), F(kk * z));
    }
    GL.End();
  }
}

void StarTube(int32_t n, float r0, float r1, float t0, float t1) {
  const ext tm = static_cast<ext>(t0) + (static_cast<ext>(t1) - t0) / 2;
  GL.Begin(GL_QUADS);
  for (int64_t i = 0; i < n; ++i) {
    const ext a = Angle(i, n), b = Angle(i + 1, n);
    const float ra = (i % 2 == 0) ? r0 : r1, rb = (i % 2 == 0) ? r1 : r0;
    const ext s0 = static_cast<ext>(i) / n, s1 = static_cast<ext>(i + 1) / n;
    GL.Color4f(1, 1, 1, 1);
    Tex(s0, t0);
    PointAt(a, ra, 0);
    Tex(s1, t0);
    PointAt(b, rb, 0);
    Tex(s1, tm);
    PointAt(b, rb, -5);
    Tex(s0, tm);
    PointAt(a, ra, -5);

    Tex(s0, tm);
    PointAt(a, ra, -5);
    Tex(s1, tm);
    PointAt(b, rb, -5);
    GL.Color4f(0, 0, 0, 1);
    Tex(s1, t1);
    PointAt(b, rb, -10);
    Tex(s0, t1);
    PointAt(a, ra, -10);
  }
  GL.End();
}

int64_t RingVertices(int32_t n) { return n > 0 ? 4 * static_cast<int64_t>(n) : 0; }
int64_t DiscVertices(int32_t n) { return n > 0 ? 3 * static_cast<int64_t>(n) : 0; }
int64_t StarTubeVertices(int32_t n) { return n > 0 ? 8 * static_cast<int64_t>(n) : 0; }

int64_t SphereVertices(int32_t n, float r) {
  int64_t nn;
  ext rr;
  if (!SphereSize(n, r, nn, rr)) return 0;
  return (nn / 2) * (nn + 1) * 2;
}

}  // namespace scripter::shapes
