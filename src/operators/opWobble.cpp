#include "operators/opWobble.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "operators/opShape.h"
#include "operators/opView.h"

namespace opWobble {

namespace {

// The lattice holds 65 x 65 points, enough for 64 quads a side.
constexpr int32_t MaxGrid = 64;
constexpr int32_t LatticeSide = MaxGrid + 1;

struct TLatticePoint {
  float U, V;
};

// A slot also keeps the texture-coordinate lattice it draws with; point
// (i, j) lies at i * LatticeSide + j.
struct TWobbleSlot : opShape::TextureSlot {
  TLatticePoint Lattice[LatticeSide * LatticeSide];
};

opShape::Shape<TWobbleParams, TWobbleSlot> shape;

opShape::ParamInfo info;

// A stored Grid of 0 draws nothing; one above the lattice draws the most
// the lattice holds.
int32_t GridOf(const TWobbleParams& p) { return std::min<int32_t>(p.Grid, MaxGrid); }

// A regular lattice, smoothed Blur times in place: points already updated
// in a pass feed the later ones, and the border never moves.
void BuildLattice(TWobbleSlot& s, const TWobbleParams& p) {
  const int32_t g = GridOf(p);
  if (g == 0) return;
  auto at = [&s](int32_t i, int32_t j) -> TLatticePoint& { return s.Lattice[i * LatticeSide + j]; };
  for (int32_t i = 0; i <= g; ++i)
    for (int32_t j = 0; j <= g; ++j)
      at(i, j) = {static_cast<float>(i) / static_cast<float>(g), static_cast<float>(j) / static_cast<float>(g)};
  for (int32_t pass = 0; pass < p.Blur; ++pass)
    for (int32_t i = 1; i < g; ++i)
      for (int32_t j = 1; j < g; ++j) {
        TLatticePoint& c = at(i, j);
        c.U = static_cast<float>((static_cast<double>(c.U) + at(i + 1, j).U + at(i - 1, j).U + at(i, j + 1).U +
                                  at(i, j - 1).U) / 5.0);
        c.V = static_cast<float>((static_cast<double>(c.V) + at(i + 1, j).V + at(i - 1, j).V + at(i, j + 1).V +
                                  at(i, j - 1).V) / 5.0);
      }
}

int32_t CreateInstance(int32_t set) {
  const int32_t slot = shape.CreateInstance(set);
  if (slot >= 0) BuildLattice(shape.Slots[static_cast<size_t>(slot)], shape.Sets[static_cast<size_t>(set)]);
  return slot;
}
void FreeInstance(uint8_t slot) { shape.FreeInstance(slot); }
void InitInstances(int32_t count) { shape.InitInstances(count); }
void Restart() {}

void* GetParamInfo(int32_t set, int32_t param, uint8_t* kind) {
  const TWobbleParams* p = shape.SetAt(set);
  if (!p) return nullptr;
  switch (param) {
    case 0:
      return info.TextureOf("Select Texture", p->Texture, kind);
    case 1: return info.SliderOf("Grid", 1, 64, p->Grid, kind);
    case 2: return info.SliderOf("Randomize", 0, 255, p->Randomize, kind);
    case 3: return info.SliderOf("Blur", 0, 16, p->Blur, kind);
    case 4: return info.SliderOf("Twirl", 0, 255, p->Twirl, kind);
    case 5: return info.SliderOf("X-Anim", 0, 255, p->XAnim, kind);
    case 6: return info.SliderOf("Y-Anim", 0, 255, p->YAnim, kind);
    default: return nullptr;
  }
}

void SetParamValue(int32_t set, int32_t param, const void* value) {
  TWobbleParams* p = shape.SetAt(set);
  if (!p || !value || param < 0 || param > 6) return;
  int32_t v;
  std::memcpy(&v, value, sizeof v);
  const auto low = static_cast<uint8_t>(v & 0xFF);
  switch (param) {
    case 0: p->Texture = v; break;
    case 1: p->Grid = low; break;
    case 2: p->Randomize = low; break;
    case 3: p->Blur = low; break;
    case 4: p->Twirl = low; break;
    case 5: p->XAnim = low; break;
    case 6: p->YAnim = low; break;
    default: break;
  }
}

// A new set draws at once: a 16 x 16 grid, lightly smoothed.
int32_t NewParamSet() {
  TWobbleParams d{};
  d.Grid = 16;
  d.Blur = 2;
  return shape.NewParamSet(d);
}

void DeleteParamSet(int32_t set) { shape.DeleteParamSet(set); }

// The texture over the whole window as a G x G grid of quads; each corner's
// texture coordinate is the mean of its regular place and its lattice
// point. Randomize, Twirl and the two animations do not take part.
void Render(uint8_t slot, int32_t width, int32_t height, int32_t, int32_t, float, float alpha) {
  TWobbleSlot* s = shape.Bound(slot);
  if (!s) return;
  const TWobbleParams& p = shape.SetOf(*s);
  BuildLattice(*s, p);
  const int32_t g = GridOf(p);
  opShape::RefreshTexture(*s, p.Texture, 0);

  glPushMatrix();
  glBindTexture(GL_TEXTURE_2D, s->GLName);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, alpha);
  opView::BeginPixelSpace(width, height);

  if (g > 0) {
    constexpr double c = 0.5;
    auto corner = [&](int32_t pi, int32_t qi) {
      const TLatticePoint& l = s->Lattice[pi * LatticeSide + qi];
      glTexCoord2f(static_cast<float>(c * pi / g + (1.0 - c) * l.U), static_cast<float>(c * qi / g + (1.0 - c) * l.V));
      glVertex3f(static_cast<float>(static_cast<double>(int64_t{pi} * width) / g),
                 static_cast<float>(static_cast<double>(int64_t{qi} * height) / g), 0.0f);
    };
    glBegin(GL_QUADS);
    for (int32_t a = 0; a < g; ++a)
      for (int32_t b = 0; b < g; ++b) {
        corner(a, b);
        corner(a + 1, b);
        corner(a + 1, b + 1);
        corner(a, b + 1);
      }
    glEnd();
  }

  opView::RestorePerspective(width, height);
  glPopMatrix();
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

}  // namespace

QVL_OPERATOR_MODULE_ENTRIES(shape, TWobbleParams)

void Describe(dllShared::fOperator& op) {
    op.GetParamInfo = GetParamInfo;
  op.SetParamValue = SetParamValue;
  op.NewParamSet = NewParamSet;
  op.DeleteParamSet = DeleteParamSet;
  op.CreateInstance = CreateInstance;
  op.FreeInstance = FreeInstance;
  op.Render = Render;
  op.Restart = Restart;
  op.InitInstances = InitInstances;
}

}  // namespace opWobble
