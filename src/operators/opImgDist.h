// opImgDist: the "Image Distortion" operator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"
#include "engine/registry.h"

namespace opImgDist {

// One parameter set, stored raw in the demo file under "ImgDst<i>".
struct TImageDistortionParams {
  int32_t Texture;
  float X;
  float Y;
  float Damage;
  int32_t Quality;
  int32_t Speed;
};
static_assert(sizeof(TImageDistortionParams) == 24);
static_assert(std::is_trivially_copyable_v<TImageDistortionParams>);
static_assert(offsetof(TImageDistortionParams, Texture) == 0);
static_assert(offsetof(TImageDistortionParams, X) == 4);
static_assert(offsetof(TImageDistortionParams, Y) == 8);
static_assert(offsetof(TImageDistortionParams, Damage) == 12);
static_assert(offsetof(TImageDistortionParams, Quality) == 16);
static_assert(offsetof(TImageDistortionParams, Speed) == 20);

// The type's identity: name, counts, keys, record size and slots.
inline constexpr registry::TOperatorRow Identity = {"Image Distortion", 6, 0, "ImgDstCount", "ImgDst", sizeof(TImageDistortionParams), 8};

void Startup();   // 8 free slots
void Shutdown();
// Fills a zeroed descriptor with the type's name, counts and entries.
void Describe(dllShared::fOperator& op);
// Reads every parameter set from the open demo file.
void LoadParamSets(bool loadScriptSources);
// The loaded sets, for tools and tests.
std::vector<TImageDistortionParams>& Sets();

}  // namespace opImgDist
