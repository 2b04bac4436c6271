// opShape: what every operator type has in common.
//
// A type keeps a growable array of fixed-size parameter-set records, read
// raw from the demo file under "<prefix>Count" and "<prefix><i>", and a
// table of instance slots, each bound to a set index or -1 when free. An
// operator module declares one Shape and forwards its descriptor entries to
// it; its own file then holds only its record, its descriptor and Render.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "engine/dllShared.h"

namespace opShape {

// More sets than this under one count key is damage, not a demo: every set
// needs its own directory entry, and no authored demo comes near it.
inline constexpr int32_t MaxParamSets = 1 << 16;

// A slot that holds only its set.
struct PlainSlot {
  int32_t ParamSet = -1;
};

// A slot that also caches the texture it draws with; CachedTexture is -1
// right after CreateInstance, so the first Render asks the host.
struct TextureSlot {
  int32_t ParamSet = -1;
  int32_t CachedTexture = -1;
  uint32_t GLName = 0;
  int32_t TexWidth = 0;
  int32_t TexHeight = 0;
  float Aspect = 0;
};

template <class T>
concept CachesTexture = requires(T s) { s.CachedTexture; };

template <class Params, class Slot = PlainSlot>
struct Shape {
  std::vector<Params> Sets;
  std::vector<Slot> Slots;

  void InitInstances(int32_t count) { Slots.assign(count > 0 ? static_cast<size_t>(count) : 0, Slot{}); }

  // The lowest free slot, bound to `set`; -1 when none is free or the set
  // does not exist (nothing is ever read outside the array).
  int32_t CreateInstance(int32_t set) {
    if (set < 0 || static_cast<size_t>(set) >= Sets.size()) return -1;
    for (size_t i = 0; i < Slots.size(); ++i) {
      if (Slots[i].ParamSet != -1) continue;
      Slots[i] = Slot{};
      Slots[i].ParamSet = set;
      if constexpr (CachesTexture<Slot>) Slots[i].CachedTexture = -1;
      return static_cast<int32_t>(i);
    }
    return -1;
  }

  void FreeInstance(uint8_t slot) {
    if (slot < Slots.size()) Slots[slot].ParamSet = -1;
  }

  // The bound slot, or null when it is free, beyond the table, or its set
  // has since been deleted.
  Slot* Bound(uint8_t slot) {
    if (slot >= Slots.size()) return nullptr;
    Slot& s = Slots[slot];
    if (s.ParamSet < 0 || static_cast<size_t>(s.ParamSet) >= Sets.size()) return nullptr;
    return &s;
  }
  Params& SetOf(const Slot& s) { return Sets[static_cast<size_t>(s.ParamSet)]; }

  // Reads "<countKey>" sets, set i from "<prefix><i>"; a missing key leaves
  // that set zero-filled.
  void LoadParamSets(std::string_view countKey, std::string_view prefix) {
    static_assert(std::is_trivially_copyable_v<Params>, "sets are read as raw records");
    const dllShared::fHost& host = dllShared::Host;
    const int32_t count = host.ReadInt(countKey, 0);
    if (count < 0 || count > MaxParamSets)
      throw dllShared::DataError("parameter-set count " + std::to_string(count) + " under key \"" +
                                 std::string(countKey) + "\" is damaged");
    Sets.assign(static_cast<size_t>(count), Params{});
    for (int32_t i = 0; i < count; ++i) {
      unsigned char raw[sizeof(Params)] = {};
      host.ReadBlock(dllShared::IndexedKey(prefix, i), raw, sizeof raw);
      std::memcpy(&Sets[static_cast<size_t>(i)], raw, sizeof raw);
    }
  }

  // Appends a set; returns its index (the old count).
  int32_t NewParamSet(const Params& defaults) {
    Sets.push_back(defaults);
    return static_cast<int32_t>(Sets.size() - 1);
  }
  void DeleteParamSet(int32_t set) {
    if (set >= 0 && static_cast<size_t>(set) < Sets.size()) Sets.erase(Sets.begin() + set);
  }
  Params* SetAt(int32_t set) {
    if (set < 0 || static_cast<size_t>(set) >= Sets.size()) return nullptr;
    return &Sets[static_cast<size_t>(set)];
  }
};

// The descriptors a type's GetParamInfo hands out: one record per kind,
// overwritten on every call.
struct ParamInfo {
  dllShared::fdSlider Slider{};
  dllShared::fdTexture Texture{};
  void* SliderOf(const char* label, int32_t min, int32_t max, int32_t value, uint8_t* kind) {
    Slider = {label, min, max, value, 0};
    if (kind) *kind = dllShared::kindSlider;
    return &Slider;
  }
  void* TextureOf(const char* label, int32_t value, uint8_t* kind) {
    Texture = {label, value};
    if (kind) *kind = dllShared::kindTexture;
    return &Texture;
  }
};

// Refreshes a TextureSlot's cache when the set's texture number changes:
// texture n is table entry n - 1; 0, or a number beyond the table, is none
// and gets `noneSize` as its width and height.
inline void RefreshTexture(TextureSlot& slot, int32_t texture, int32_t noneSize) {
  if (slot.CachedTexture == texture) return;
  slot.CachedTexture = texture;
  dllShared::TTextureInfo info{0, 0, 0};
  if (texture > 0 && dllShared::Host.GetTextureInfo) dllShared::Host.GetTextureInfo(texture - 1, &info);
  if (texture > 0 && info.GLName != 0) {
    slot.GLName = static_cast<uint32_t>(info.GLName);
    slot.TexWidth = info.Width;
    slot.TexHeight = info.Height;
  } else {
    slot.GLName = 0;
    slot.TexWidth = noneSize;
    slot.TexHeight = noneSize;
  }
  slot.Aspect = slot.TexWidth != 0 ? static_cast<float>(slot.TexHeight) / static_cast<float>(slot.TexWidth) : 0.0f;
}

// The four blend functions a set may pick by number; any other number
// keeps whatever the tracks before left in force.
inline void SetBlendFunction(int32_t mode) {
  switch (mode) {
    case 0: glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); break;
    case 1: glBlendFunc(GL_SRC_ALPHA, GL_ONE); break;
    case 2: glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_COLOR); break;
    case 3: glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ONE_MINUS_SRC_COLOR); break;
    default: break;
  }
}

}  // namespace opShape

// Declares the entry points every operator module exports, forwarding the
// instance entries to `shape`; DescribeCommon fills a descriptor with the
// module's Identity and those entries. Used inside the module's .cpp.
#define QVL_OPERATOR_SHAPE_ENTRIES(shape)                                              \
  int32_t CreateInstance(int32_t set) { return shape.CreateInstance(set); }            \
  void FreeInstance(uint8_t slot) { shape.FreeInstance(slot); }                        \
  void InitInstances(int32_t count) { shape.InitInstances(count); }                    \
  void Restart() {}                                                                    \
  void DescribeCommon(dllShared::fOperator& op) {                                      \
    op.Name = Identity.Name;                                                           \
    op.ParamCount = Identity.ParamCount;                                               \
    op.Kind = Identity.Kind;                                                           \
    op.CreateInstance = CreateInstance;                                                \
    op.FreeInstance = FreeInstance;                                                    \
    op.Restart = Restart;                                                              \
    op.InitInstances = InitInstances;                                                  \
  }

// Defines the module-level entries every operator header declares:
// Startup (Identity.Slots free slots), Shutdown, LoadParamSets and Sets.
// Used inside the module's namespace, outside its anonymous namespace.
#define QVL_OPERATOR_MODULE_ENTRIES(shape, Params)                                     \
  static_assert(Identity.SetSize == sizeof(Params), "a set is stored as its record");  \
  void Startup() { shape.InitInstances(Identity.Slots); }                              \
  void Shutdown() {                                                                    \
    shape.Sets.clear();                                                                \
    shape.Slots.clear();                                                               \
  }                                                                                    \
  void LoadParamSets(bool) { shape.LoadParamSets(Identity.CountKey, Identity.SetPrefix); } \
  std::vector<Params>& Sets() { return shape.Sets; }
