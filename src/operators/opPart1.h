// opPart1: the "Particles 1" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opPart1 {

// One parameter set, stored raw in the demo file under "PSys1<i>".
struct TParticleParams {
  int32_t Texture;
  int32_t Amount;
  int32_t RandomSeed;
  int32_t GlobalSpeed;
  dllShared::TVector3 StartPos;
  dllShared::TVector3 Size;
  dllShared::TVector3 Color;
  float ParticleSize;
  int32_t XSpeed;
  int32_t YSpeed;
  int32_t ZSpeed;
};
static_assert(sizeof(TParticleParams) == 68);
static_assert(std::is_trivially_copyable_v<TParticleParams>);
static_assert(offsetof(TParticleParams, Texture) == 0);
static_assert(offsetof(TParticleParams, Amount) == 4);
static_assert(offsetof(TParticleParams, RandomSeed) == 8);
static_assert(offsetof(TParticleParams, GlobalSpeed) == 12);
static_assert(offsetof(TParticleParams, StartPos) == 16);
static_assert(offsetof(TParticleParams, Size) == 28);
static_assert(offsetof(TParticleParams, Color) == 40);
static_assert(offsetof(TParticleParams, ParticleSize) == 52);
static_assert(offsetof(TParticleParams, XSpeed) == 56);
static_assert(offsetof(TParticleParams, YSpeed) == 60);
static_assert(offsetof(TParticleParams, ZSpeed) == 64);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Particles 1", 11, 0, "PSys1Count", "PSys1", sizeof(TParticleParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TParticleParams>& Sets();

}  // namespace opPart1
