// opTunnel: the "Tunnel" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opTunnel {

// One parameter set, stored raw in the demo file under "Tunne<F6><i>".
struct TTunnelParams {
  int32_t Texture;
  float Length;
  float Radius;
  float Alpha;
  int32_t Rotation;
  int32_t Animation;
  int32_t Blending;
};
static_assert(sizeof(TTunnelParams) == 28);
static_assert(std::is_trivially_copyable_v<TTunnelParams>);
static_assert(offsetof(TTunnelParams, Texture) == 0);
static_assert(offsetof(TTunnelParams, Length) == 4);
static_assert(offsetof(TTunnelParams, Radius) == 8);
static_assert(offsetof(TTunnelParams, Alpha) == 12);
static_assert(offsetof(TTunnelParams, Rotation) == 16);
static_assert(offsetof(TTunnelParams, Animation) == 20);
static_assert(offsetof(TTunnelParams, Blending) == 24);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Tunnel", 7, 0, "TunnelCount", "Tunne\xF6", sizeof(TTunnelParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TTunnelParams>& Sets();

}  // namespace opTunnel
