// dllShared: the records shared by the host and the operators.
//
// fOperator is the table an operator type exports; fHost is the table of
// host services every operator reaches the player through. Both are plain
// aggregates of function pointers; an entry an operator type does not have
// is null and the caller checks before calling.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "demo-file records are copied byte for byte; a big-endian port must swap fields");

namespace dllShared {

// Bad data in a demo file. The message names the file, the key (or
// "unnamed read") and the offset where it can; the player shows it and ends.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// ---- parameter descriptors, returned by GetParamInfo ----

enum : uint8_t {
  kindSlider = 0,
  kindColor = 1,
  kindTexture = 2,
  kindPosition = 6,
};

struct fdSlider {
  const char* Label;
  int32_t Min;
  int32_t Max;
  int32_t Value;
  int32_t Reserved;  // always 0
};

struct fdColor {
  const char* Label;
  int32_t Value;  // red + green * 256 + blue * 65536, see PackColor
};

struct fdTexture {
  const char* Label;
  int32_t Value;  // texture number, 0 = none, n = texture entry n - 1
};

struct fdPosition {
  const char* Label;
  float X, Y, Z;
  float Step;  // the editing step: 0.01 for a position, 1.0 for angles, ...
};

// Packs 0..1 colour components as red + green*256 + blue*65536, each
// component times 255 rounded to nearest with ties to even.
int32_t PackColor(float r, float g, float b);
// The inverse: each byte divided by 255.
void UnpackColor(int32_t packed, float& r, float& g, float& b);
// A float shown on an integer slider: value * scale, rounded half to even.
int32_t ToSlider(float value, float scale);

// ---- the operator descriptor ----

struct fOperator {
  const char* Name;    // display name of the type
  int32_t ParamCount;  // parameters 0 .. ParamCount-1 an editor may ask about
  uint8_t Kind;        // 0 draws itself, 1 renders following tracks, 2 special

  // Describes parameter `param` of set `set`; *kind gets the record's kind
  // code. Null when param is outside 0..ParamCount-1. The record belongs to
  // the operator and is overwritten by the next call of the same kind.
  void* (*GetParamInfo)(int32_t set, int32_t param, uint8_t* kind);
  // Stores parameter `param`: value points at an int32 (slider, colour,
  // texture) or three floats (position).
  void (*SetParamValue)(int32_t set, int32_t param, const void* value);
  // Appends a set with the type's defaults; returns its index.
  int32_t (*NewParamSet)();
  // Removes a set; later sets move down one place.
  void (*DeleteParamSet)(int32_t set);
  // Binds the lowest free slot to `set`; -1 when every slot is bound or the
  // set does not exist.
  int32_t (*CreateInstance)(int32_t set);
  // Frees a slot; numbers beyond the table are ignored.
  void (*FreeInstance)(uint8_t slot);
  // Draws or applies a bound slot; a free slot draws nothing.
  void (*Render)(uint8_t slot, int32_t width, int32_t height, int32_t time, int32_t elapsed,
                 float progress, float alpha);
  // No operation in every type; nothing calls it.
  void (*Restart)();
  // Makes `count` free slots, discarding the old table.
  void (*InitInstances)(int32_t count);
};

// ---- host services ----

struct TTextureInfo {
  int32_t Width;
  int32_t Height;
  int32_t GLName;
};

// Eleven pointer-sized slots; a slot's number is part of the interface.
struct fHost {
  intptr_t InterfaceTag;  // 0: the integer 16
  void* Unused1;          // 1: always empty
  // 2: renders the next track (mode 0) or the current one (mode 2) with the
  // caller's size, time and alpha.
  void (*RenderFollowing)(int32_t width, int32_t height, int32_t time, float alpha, uint8_t mode);
  // 3: width, height and GL name of texture entry `index` (0-based); an
  // index outside the table answers zeros.
  void (*GetTextureInfo)(int32_t index, TTextureInfo* info);
  // 4: draws mesh `mesh` (0-based) of the mesh store with the current
  // state; useColours makes each group set its colour; scale is ignored.
  void (*DrawMesh)(int32_t mesh, bool useColours, float scale);
  // 5..10: the demo file's named writes and reads. Reads leave the file
  // position after the value, so unnamed reads can follow.
  void (*WriteBlock)(std::string_view name, const void* data, int32_t size);
  void (*ReadBlock)(std::string_view name, void* dest, int32_t size);
  void (*WriteInt)(std::string_view name, int32_t value);
  int32_t (*ReadInt)(std::string_view name, int32_t def);
  void (*WriteString)(std::string_view name, std::string_view s);
  void (*ReadString)(std::string_view name, std::string_view def, std::string& out);
};

static_assert(sizeof(fHost) == 11 * sizeof(void*));
static_assert(offsetof(fHost, RenderFollowing) == 2 * sizeof(void*));
static_assert(offsetof(fHost, GetTextureInfo) == 3 * sizeof(void*));
static_assert(offsetof(fHost, DrawMesh) == 4 * sizeof(void*));
static_assert(offsetof(fHost, WriteBlock) == 5 * sizeof(void*));
static_assert(offsetof(fHost, ReadString) == 10 * sizeof(void*));

// The one host table; filled by the module start-ups and RegisterOperators.
extern fHost Host;

// "Tex" + 3 + "Name": a key with a decimal index, no leading zeros.
std::string IndexedKey(std::string_view prefix, int64_t index, std::string_view suffix = {});

}  // namespace dllShared

namespace dllShared {

// Three floats as records store them: x, y, z.
struct TVector3 {
  float X, Y, Z;
};
static_assert(sizeof(TVector3) == 12);

// One triple of one record is stored X, Z, Y; its type keeps the placement.
struct TVectorXZY {
  float X, Z, Y;
};
static_assert(sizeof(TVectorXZY) == 12 && offsetof(TVectorXZY, Z) == 4 && offsetof(TVectorXZY, Y) == 8);

}  // namespace dllShared
