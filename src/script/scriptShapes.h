// scriptShapes: the eight ready-made shapes a script draws with one
// instruction each, around the origin of the current model-view matrix.
// They go through scripter::GL and save or restore no state.
#pragma once

#include <cstdint>

namespace scripter::shapes {

void Quad(float y0, float x1, float y1, float x0);
void Box(float hx, float hy, float hz);
void Ring(int32_t n, float r0, float r1);
void Disc(int32_t n, float r);
void Cone(int32_t n, float r, float h);
void Sphere(int32_t n, float r);
void Rays(int32_t n, float r, float k);
void StarTube(int32_t n, float r0, float r1, float t0, float t1);

// Vertices each shape emits, for the run's instruction budget.
int64_t RingVertices(int32_t n);
int64_t DiscVertices(int32_t n);  // CONE too
int64_t SphereVertices(int32_t n, float r);  // RAYS too
int64_t StarTubeVertices(int32_t n);

}  // namespace scripter::shapes
