// startup: the setup window's logo, painted at run time so that no image file
// has to ship with the player. A striped sun over a perspective grid, the
// name in large block letters and a small caption under the grid's horizon.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "player/startup.h"

namespace startup {

namespace {

constexpr int W = kLogoWidth;
constexpr int H = kLogoHeight;
constexpr int kHorizon = 66;

struct TColor {
  double r, g, b;
};

TColor Mix(TColor a, TColor b, double f) {
  f = std::clamp(f, 0.0, 1.0);
  return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

// Large letters, 5 x 8 cells; row 5 is the base line, rows 6 and 7 hold
// descenders.
const char* const kBigQ[8] = {".....", ".....", ".####", "#...#", "#...#", ".####", "....#", "....#"};
const char* const kBigV[8] = {".....", ".....", "#...#", "#...#", ".#.#.", "..#..", ".....", "....."};
const char* const kBigL[8] = {".##..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."};

// Small capitals, 3 x 5 cells.
struct TSmallGlyph {
  char c;
  const char* rows[5];
};
const TSmallGlyph kSmall[] = {
    {'D', {"##.", "#.#", "#.#", "#.#", "##."}}, {'E', {"###", "#..", "##.", "#..", "###"}},
    {'M', {"#.#", "###", "###", "#.#", "#.#"}}, {'O', {"###", "#.#", "#.#", "#.#", "###"}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}}, {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}}, {'Y', {"#.#", "#.#", ".#.", ".#.", ".#."}},
    {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
};

struct TCanvas {
  std::vector<TColor> px = std::vector<TColor>(static_cast<size_t>(W * H));
  TColor& at(int x, int y) { return px[static_cast<size_t>(y * W + x)]; }
  void Blend(int x, int y, TColor c, double alpha) {
    if (x < 0 || y < 0 || x >= W || y >= H) return;
    at(x, y) = Mix(at(x, y), c, alpha);
  }
};

uint32_t Hash(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}

void PaintBackground(TCanvas& c) {
  const TColor skyTop{12, 6, 38}, skyLow{120, 30, 110};
  const TColor groundFar{50, 10, 60}, groundNear{8, 4, 24};
  const TColor grid{255, 70, 200};
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      if (y < kHorizon) {
        TColor col = Mix(skyTop, skyLow, std::pow(y / double(kHorizon), 1.6));
        const uint32_t h = Hash(static_cast<uint32_t>(y * W + x));
        if (y < kHorizon - 20 && h % 97 == 0) col = Mix(col, {255, 255, 255}, 0.35 + (h >> 24) / 400.0);
        c.at(x, y) = col;
      } else {
        const double d = y - kHorizon + 1.0;  // 1 at the horizon, growing toward the viewer
        TColor col = Mix(groundFar, groundNear, d / (H - kHorizon));
        // Cross lines recede as 1 / distance; the lines toward the vanishing
        // point fan out in proportion to the distance below the horizon.
        const double depth = 60.0 / d;
        const double across = std::fabs(depth - std::round(depth));
        const double along = (x - W / 2.0) / d * 0.6;
        const double alongDist = std::fabs(along - std::round(along)) * d / 0.6;
        double line = 0;
        if (across * d * d / 60.0 < 0.7) line = 1;
        if (alongDist < 0.8) line = 1;
        const double fade = std::min(1.0, d / 10.0);
        c.at(x, y) = Mix(col, grid, line * (0.35 + 0.65 * fade));
      }
    }
  }
  // Glow along the horizon.
  for (int y = kHorizon - 6; y < kHorizon + 4; ++y)
    for (int x = 0; x < W; ++x) c.Blend(x, y, {255, 120, 220}, 0.25 * (1.0 - std::abs(y - kHorizon) / 6.0));
}

void PaintSun(TCanvas& c) {
  const double cx = 252, cy = 48, radius = 34;
  const TColor top{255, 232, 110}, bottom{255, 50, 150};
  for (int y = 0; y < kHorizon; ++y) {
    const double dy = y + 0.5 - cy;
    // Gaps widen toward the bottom of the sun.
    if (dy > 0) {
      const int band = static_cast<int>(dy) % 7;
      if (band < 1 + static_cast<int>(dy / 10)) continue;
    }
    for (int x = 0; x < W; ++x) {
      const double dx = x + 0.5 - cx;
      const double dist = std::sqrt(dx * dx + dy * dy);
      const double cover = std::clamp(radius - dist + 0.5, 0.0, 1.0);
      if (cover > 0) c.Blend(x, y, Mix(top, bottom, (dy + radius) / (2 * radius)), cover);
    }
  }
}

// One block of a letter: a rounded square, shaded from top to bottom, with a
// lit top edge.
void PaintBlock(TCanvas& c, int x0, int y0, int size, double shade, bool shadow) {
  const TColor light{255, 246, 170}, dark{255, 120, 40}, edge{255, 255, 235};
  for (int y = 0; y < size - 1; ++y) {
    for (int x = 0; x < size - 1; ++x) {
      const bool corner = (x == 0 || x == size - 2) && (y == 0 || y == size - 2);
      if (corner) continue;
      if (shadow) {
        c.Blend(x0 + x, y0 + y, {10, 0, 20}, 0.7);
      } else {
        TColor col = Mix(light, dark, shade + y / double(size) * 0.12);
        if (y == 0) col = Mix(col, edge, 0.6);
        c.Blend(x0 + x, y0 + y, col, 1.0);
      }
    }
  }
}

void PaintBigText(TCanvas& c) {
  const char* const* glyphs[3] = {kBigQ, kBigV, kBigL};
  const int cell = 9, left = 22, top = 12;
  for (int pass = 0; pass < 2; ++pass) {
    const bool shadow = pass == 0;
    const int off = shadow ? 3 : 0;
    for (int g = 0; g < 3; ++g) {
      for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (glyphs[g][row][col] != '#') continue;
          const int x = left + (g * 6 + col) * cell + off;
          const int y = top + row * cell + off;
          PaintBlock(c, x, y, cell, row / 8.0, shadow);
        }
      }
    }
  }
}

void PaintCaption(TCanvas& c, const char* text, int left, int top, int scale) {
  int x = left;
  for (const char* p = text; *p; ++p, x += 4 * scale) {
    for (const TSmallGlyph& g : kSmall) {
      if (g.c != *p) continue;
      for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 3; ++col)
          if (g.rows[row][col] == '#')
            for (int sy = 0; sy < scale; ++sy)
              for (int sx = 0; sx < scale; ++sx)
                c.Blend(x + col * scale + sx, top + row * scale + sy, {190, 240, 255}, 1.0);
    }
  }
}

}  // namespace

std::vector<uint8_t> LogoPixels() {
  TCanvas c;
  PaintBackground(c);
  PaintSun(c);
  PaintBigText(c);
  PaintCaption(c, "DEMO PLAYER", 222, 84, 2);
  std::vector<uint8_t> rgba(static_cast<size_t>(W * H * 4));
  for (size_t i = 0; i < c.px.size(); ++i) {
    rgba[i * 4 + 0] = static_cast<uint8_t>(std::lround(std::clamp(c.px[i].r, 0.0, 255.0)));
    rgba[i * 4 + 1] = static_cast<uint8_t>(std::lround(std::clamp(c.px[i].g, 0.0, 255.0)));
    rgba[i * 4 + 2] = static_cast<uint8_t>(std::lround(std::clamp(c.px[i].b, 0.0, 255.0)));
    rgba[i * 4 + 3] = 255;
  }
  return rgba;
}

}  // namespace startup
