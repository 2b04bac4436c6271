// opDrawMesh: the "Simple DrawMesh" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opDrawMesh {

// One parameter set, stored raw in the demo file under "DrawM<i>".
struct TDrawMeshParams {
  dllShared::TVector3 Position;
  dllShared::TVector3 Rotation;
  uint8_t Unused[12];
  int32_t Lighting;
  int32_t Mesh;
};
static_assert(sizeof(TDrawMeshParams) == 44);
static_assert(std::is_trivially_copyable_v<TDrawMeshParams>);
static_assert(offsetof(TDrawMeshParams, Position) == 0);
static_assert(offsetof(TDrawMeshParams, Rotation) == 12);
static_assert(offsetof(TDrawMeshParams, Unused) == 24);
static_assert(offsetof(TDrawMeshParams, Lighting) == 36);
static_assert(offsetof(TDrawMeshParams, Mesh) == 40);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Simple DrawMesh", 5, 0, "DrawMCount", "DrawM", sizeof(TDrawMeshParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TDrawMeshParams>& Sets();

}  // namespace opDrawMesh
