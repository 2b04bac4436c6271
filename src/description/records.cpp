// records: the field tables of the records a demo file stores (each
// operator's parameter set and the event) and their JSON form. In order:
// the field tables, checked at compile time to cover their records; the
// table by operator type; the conversions between record bytes and JSON;
// the checked readers of JSON values.
#include "description/records.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/registry.h"
#include "engine/scheduler.h"
#include "operators/op0815L.h"
#include "operators/opBezier.h"
#include "operators/opDrawMesh.h"
#include "operators/opEfFade.h"
#include "operators/opEffect.h"
#include "operators/opEndDemo.h"
#include "operators/opFader.h"
#include "operators/opImage.h"
#include "operators/opImgDist.h"
#include "operators/opLinear.h"
#include "operators/opPart1.h"
#include "operators/opScripter.h"
#include "operators/opSineMove.h"
#include "operators/opTunnel.h"
#include "operators/opWobble.h"
#include "operators/roster.h"

namespace records {

namespace {

// ---- field tables ----

#define QVL_FIELD(T, f, type, ...)                                                                       \
  TField {                                                                                               \
    #f, FieldType::type, static_cast<int32_t>(offsetof(T, f)), static_cast<int32_t>(sizeof(T::f)), \
        ##__VA_ARGS__                                                                                    \
  }

constexpr int32_t SizeOf(FieldType t) {
  switch (t) {
    case FieldType::Int32:
    case FieldType::Float:
      return 4;
    case FieldType::UInt8:
      return 1;
    case FieldType::Vector3:
    case FieldType::VectorXZY:
      return 12;
    case FieldType::Bytes:
      return -1;
  }
  return -1;
}

// True when the fields lie back to back, each as large as its type, and
// together cover the whole record: no byte of a set is left undescribed.
template <size_t N>
constexpr bool Covers(const TField (&fields)[N], size_t recordSize) {
  int32_t at = 0;
  for (const TField& f : fields) {
    if (f.Offset != at) return false;
    if (SizeOf(f.Type) != -1 && SizeOf(f.Type) != f.Size) return false;
    at += f.Size;
  }
  return static_cast<size_t>(at) == recordSize;
}

using opFader::TFaderParams;
constexpr TField faderFields[] = {
    QVL_FIELD(TFaderParams, StartRed, Float),   QVL_FIELD(TFaderParams, StartGreen, Float),
    QVL_FIELD(TFaderParams, StartBlue, Float),  QVL_FIELD(TFaderParams, EndRed, Float),
    QVL_FIELD(TFaderParams, EndGreen, Float),   QVL_FIELD(TFaderParams, EndBlue, Float),
    QVL_FIELD(TFaderParams, StartAlpha, Float), QVL_FIELD(TFaderParams, EndAlpha, Float),
};
static_assert(Covers(faderFields, sizeof(TFaderParams)));

using opImage::TShowImageParams;
constexpr TField imageFields[] = {
    QVL_FIELD(TShowImageParams, Texture, Int32, Refers::Texture),
    QVL_FIELD(TShowImageParams, X, Float),
    QVL_FIELD(TShowImageParams, Y, Float),
    QVL_FIELD(TShowImageParams, Zoom, Float),
    QVL_FIELD(TShowImageParams, Alpha, Float),
    QVL_FIELD(TShowImageParams, DrawMode, UInt8),
    QVL_FIELD(TShowImageParams, BlendMode, UInt8),
    QVL_FIELD(TShowImageParams, Reserved, Bytes),
};
static_assert(Covers(imageFields, sizeof(TShowImageParams)));

using opPart1::TParticleParams;
constexpr TField particleFields[] = {
    QVL_FIELD(TParticleParams, Texture, Int32, Refers::Texture),
    QVL_FIELD(TParticleParams, Amount, Int32),
    QVL_FIELD(TParticleParams, RandomSeed, Int32),
    QVL_FIELD(TParticleParams, GlobalSpeed, Int32),
    QVL_FIELD(TParticleParams, StartPos, Vector3),
    QVL_FIELD(TParticleParams, Size, Vector3),
    QVL_FIELD(TParticleParams, Color, Vector3),
    QVL_FIELD(TParticleParams, ParticleSize, Float),
    QVL_FIELD(TParticleParams, XSpeed, Int32),
    QVL_FIELD(TParticleParams, YSpeed, Int32),
    QVL_FIELD(TParticleParams, ZSpeed, Int32),
};
static_assert(Covers(particleFields, sizeof(TParticleParams)));

using opEfFade::TEffectFadeParams;
constexpr TField efFadeFields[] = {
    QVL_FIELD(TEffectFadeParams, StartAlpha, Float),
    QVL_FIELD(TEffectFadeParams, EndAlpha, Float),
};
static_assert(Covers(efFadeFields, sizeof(TEffectFadeParams)));

using opEffect::TRenderToTextureParams;
constexpr TField rn2TexFields[] = {
    QVL_FIELD(TRenderToTextureParams, Texture, Int32, Refers::Texture),
    QVL_FIELD(TRenderToTextureParams, RenderBeneath, Int32),
};
static_assert(Covers(rn2TexFields, sizeof(TRenderToTextureParams)));

using opImgDist::TImageDistortionParams;
constexpr TField imgDstFields[] = {
    QVL_FIELD(TImageDistortionParams, Texture, Int32, Refers::Texture),
    QVL_FIELD(TImageDistortionParams, X, Float),
    QVL_FIELD(TImageDistortionParams, Y, Float),
    QVL_FIELD(TImageDistortionParams, Damage, Float),
    QVL_FIELD(TImageDistortionParams, Quality, Int32),
    QVL_FIELD(TImageDistortionParams, Speed, Int32),
};
static_assert(Covers(imgDstFields, sizeof(TImageDistortionParams)));

using opBezier::TBezierParams;
constexpr TField bezierFields[] = {
    QVL_FIELD(TBezierParams, StartPos, Vector3),  QVL_FIELD(TBezierParams, EndPos, Vector3),
    QVL_FIELD(TBezierParams, MiddlePos, Vector3), QVL_FIELD(TBezierParams, StartRot, Vector3),
    QVL_FIELD(TBezierParams, EndRot, Vector3),    QVL_FIELD(TBezierParams, MiddleRot, VectorXZY),
};
static_assert(Covers(bezierFields, sizeof(TBezierParams)));

using opDrawMesh::TDrawMeshParams;
constexpr TField drawMeshFields[] = {
    QVL_FIELD(TDrawMeshParams, Position, Vector3), QVL_FIELD(TDrawMeshParams, Rotation, Vector3),
    QVL_FIELD(TDrawMeshParams, Unused, Bytes),     QVL_FIELD(TDrawMeshParams, Lighting, Int32),
    QVL_FIELD(TDrawMeshParams, Mesh, Int32, Refers::Mesh),
};
static_assert(Covers(drawMeshFields, sizeof(TDrawMeshParams)));

using op0815L::TLinesParams;
constexpr TField linesFields[] = {
    QVL_FIELD(TLinesParams, Red, Float),       QVL_FIELD(TLinesParams, Green, Float),
    QVL_FIELD(TLinesParams, Blue, Float),      QVL_FIELD(TLinesParams, Opacity, Float),
    QVL_FIELD(TLinesParams, Unused, Bytes),    QVL_FIELD(TLinesParams, LineSteps, Int32),
    QVL_FIELD(TLinesParams, TimeScale, Int32), QVL_FIELD(TLinesParams, Shape, Int32),
    QVL_FIELD(TLinesParams, FixedEnds, Int32),
};
static_assert(Covers(linesFields, sizeof(TLinesParams)));

using opEndDemo::TEndDemoParams;
constexpr TField endDemoFields[] = {QVL_FIELD(TEndDemoParams, Value, Int32)};
static_assert(Covers(endDemoFields, sizeof(TEndDemoParams)));

using opWobble::TWobbleParams;
constexpr TField wobbleFields[] = {
    QVL_FIELD(TWobbleParams, Texture, Int32, Refers::Texture),
    QVL_FIELD(TWobbleParams, Grid, UInt8),
    QVL_FIELD(TWobbleParams, Randomize, UInt8),
    QVL_FIELD(TWobbleParams, Blur, UInt8),
    QVL_FIELD(TWobbleParams, Twirl, UInt8),
    QVL_FIELD(TWobbleParams, XAnim, UInt8),
    QVL_FIELD(TWobbleParams, YAnim, UInt8),
    QVL_FIELD(TWobbleParams, Padding, Bytes),
};
static_assert(Covers(wobbleFields, sizeof(TWobbleParams)));

using opLinear::TLinearParams;
constexpr TField linearFields[] = {
    QVL_FIELD(TLinearParams, StartPos, Vector3),   QVL_FIELD(TLinearParams, EndPos, Vector3),
    QVL_FIELD(TLinearParams, StartRot, Vector3),   QVL_FIELD(TLinearParams, EndRot, Vector3),
    QVL_FIELD(TLinearParams, HoldPosition, UInt8), QVL_FIELD(TLinearParams, Padding, Bytes),
};
static_assert(Covers(linearFields, sizeof(TLinearParams)));

using opSineMove::TSineMoveParams;
constexpr TField sineMoveFields[] = {
    QVL_FIELD(TSineMoveParams, StartPos, Vector3), QVL_FIELD(TSineMoveParams, EndPos, Vector3),
    QVL_FIELD(TSineMoveParams, StartRot, Vector3), QVL_FIELD(TSineMoveParams, EndRot, Vector3),
    QVL_FIELD(TSineMoveParams, Speed, Int32),
};
static_assert(Covers(sineMoveFields, sizeof(TSineMoveParams)));

using opTunnel::TTunnelParams;
constexpr TField tunnelFields[] = {
    QVL_FIELD(TTunnelParams, Texture, Int32, Refers::Texture),
    QVL_FIELD(TTunnelParams, Length, Float),
    QVL_FIELD(TTunnelParams, Radius, Float),
    QVL_FIELD(TTunnelParams, Alpha, Float),
    QVL_FIELD(TTunnelParams, Rotation, Int32),
    QVL_FIELD(TTunnelParams, Animation, Int32),
    QVL_FIELD(TTunnelParams, Blending, Int32),
};
static_assert(Covers(tunnelFields, sizeof(TTunnelParams)));

using scheduler::TDemoEvent;
constexpr TField eventFields[] = {
    QVL_FIELD(TDemoEvent, Start, Int32),   QVL_FIELD(TDemoEvent, Length, Int32),
    QVL_FIELD(TDemoEvent, Track, UInt8),   QVL_FIELD(TDemoEvent, Padding, Bytes),
    QVL_FIELD(TDemoEvent, OpType, Int32),  QVL_FIELD(TDemoEvent, ParamSet, Int32),
};
static_assert(Covers(eventFields, sizeof(TDemoEvent)));

#undef QVL_FIELD

// ---- the records by type ----

template <class T, size_t N>
constexpr TRecord Record(const char* name, const TField (&fields)[N]) {
  return TRecord{name, static_cast<int32_t>(sizeof(T)), std::span<const TField>(fields)};
}

const TRecord operatorRecords[registry::OperatorCount] = {
    Record<TFaderParams>(opFader::Identity.Name, faderFields),
    Record<TShowImageParams>(opImage::Identity.Name, imageFields),
    TRecord{opScripter::Identity.Name, 0, {}},
    Record<TParticleParams>(opPart1::Identity.Name, particleFields),
    Record<TEffectFadeParams>(opEfFade::Identity.Name, efFadeFields),
    Record<TRenderToTextureParams>(opEffect::Identity.Name, rn2TexFields),
    Record<TImageDistortionParams>(opImgDist::Identity.Name, imgDstFields),
    Record<TBezierParams>(opBezier::Identity.Name, bezierFields),
    Record<TDrawMeshParams>(opDrawMesh::Identity.Name, drawMeshFields),
    Record<TLinesParams>(op0815L::Identity.Name, linesFields),
    Record<TEndDemoParams>(opEndDemo::Identity.Name, endDemoFields),
    Record<TWobbleParams>(opWobble::Identity.Name, wobbleFields),
    Record<TLinearParams>(opLinear::Identity.Name, linearFields),
    Record<TSineMoveParams>(opSineMove::Identity.Name, sineMoveFields),
    Record<TTunnelParams>(opTunnel::Identity.Name, tunnelFields),
};

const TRecord eventRecord = Record<TDemoEvent>("event", eventFields);

// ---- conversions ----

float LoadFloat(const unsigned char* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}
void StoreFloat(unsigned char* p, float f) { std::memcpy(p, &f, 4); }

std::string Where(const std::string& path, const char* name) { return path + "/" + name; }

const char* TypeName(const json& j) { return j.type_name(); }

// A finite double to the nearest float; false when it lies beyond the
// largest float by more than half a step (it would become infinite).
bool Narrow(double d, float& out) {
  constexpr double max = std::numeric_limits<float>::max();
  constexpr double limit = max + 0x1p103;  // FLT_MAX plus half its step
  if (std::fabs(d) <= max) {
    out = static_cast<float>(d);
    return true;
  }
  if (std::fabs(d) >= limit) return false;
  out = static_cast<float>(d < 0 ? -max : max);
  return true;
}

}  // namespace

void Fail(const std::string& path, const std::string& what) {
  throw DescError((path.empty() ? std::string("/") : path) + ": " + what);
}

const TRecord* OperatorRecord(int32_t type) {
  if (type < 0 || type >= registry::OperatorCount || operatorRecords[type].Size == 0) return nullptr;
  return &operatorRecords[type];
}

const TRecord& EventRecord() { return eventRecord; }

int32_t LoadedSetCount(int32_t type) { return roster::RawSet(type, -1).first; }
const unsigned char* LoadedSet(int32_t type, int32_t index) { return roster::RawSet(type, index).second; }

int32_t FieldInt(const TField& f, const unsigned char* bytes) {
  if (f.Type == FieldType::UInt8) return bytes[f.Offset];
  int32_t v;
  std::memcpy(&v, bytes + f.Offset, 4);
  return v;
}

json RecordToJson(const TRecord& record, const unsigned char* bytes) {
  json out = json::object();
  for (const TField& f : record.Fields) {
    const unsigned char* p = bytes + f.Offset;
    switch (f.Type) {
      case FieldType::Int32:
      case FieldType::UInt8:
        out[f.Name] = FieldInt(f, bytes);
        break;
      case FieldType::Float:
        out[f.Name] = FloatToJson(LoadFloat(p));
        break;
      case FieldType::Vector3:
        out[f.Name] = json::array({FloatToJson(LoadFloat(p)), FloatToJson(LoadFloat(p + 4)), FloatToJson(LoadFloat(p + 8))});
        break;
      case FieldType::VectorXZY:
        out[f.Name] = json::array({FloatToJson(LoadFloat(p)), FloatToJson(LoadFloat(p + 8)), FloatToJson(LoadFloat(p + 4))});
        break;
      case FieldType::Bytes:
        out[f.Name] = Hex(p, static_cast<size_t>(f.Size));
        break;
    }
  }
  return out;
}

void RecordFromJson(const TRecord& record, const json& j, unsigned char* bytes, const std::string& path,
                    std::span<const char* const> alsoAllowed) {
  if (!j.is_object()) Fail(path, std::string("expected an object, found ") + TypeName(j));
  std::memset(bytes, 0, static_cast<size_t>(record.Size));
  for (const auto& [key, value] : j.items()) {
    bool known = false;
    for (const TField& f : record.Fields) known = known || key == f.Name;
    for (const char* a : alsoAllowed) known = known || key == a;
    if (!known) Fail(path + "/" + key, std::string("no such field in a ") + record.Name + " record");
  }
  for (const TField& f : record.Fields) {
    unsigned char* p = bytes + f.Offset;
    const std::string at = Where(path, f.Name);
    if (f.Type == FieldType::Bytes) {
      if (j.contains(f.Name)) HexFromJson(j[f.Name], at, p, static_cast<size_t>(f.Size));
      continue;
    }
    const json& v = Member(j, f.Name, path);
    switch (f.Type) {
      case FieldType::Int32: {
        const auto n = static_cast<int32_t>(
            IntFromJson(v, at, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        std::memcpy(p, &n, 4);
        break;
      }
      case FieldType::UInt8:
        *p = static_cast<unsigned char>(IntFromJson(v, at, 0, 255));
        break;
      case FieldType::Float:
        StoreFloat(p, FloatFromJson(v, at));
        break;
      case FieldType::Vector3:
      case FieldType::VectorXZY: {
        if (!v.is_array() || v.size() != 3) Fail(at, "expected [x, y, z]");
        const float x = FloatFromJson(v[0], at + "/0");
        const float y = FloatFromJson(v[1], at + "/1");
        const float z = FloatFromJson(v[2], at + "/2");
        const bool xzy = f.Type == FieldType::VectorXZY;
        StoreFloat(p, x);
        StoreFloat(p + 4, xzy ? z : y);
        StoreFloat(p + 8, xzy ? y : z);
        break;
      }
      case FieldType::Bytes:
        break;
    }
  }
}

// ---- JSON values ----

json FloatToJson(float f) {
  const auto bits = std::bit_cast<uint32_t>(f);
  if (std::isinf(f)) return f > 0 ? "inf" : "-inf";
  if (std::isnan(f)) {
    if (bits == 0x7fc00000u) return "nan";
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08x", bits);
    return buf;
  }
  // The shortest decimal for the float, as a double; checked, because a
  // decimal read as a double and then narrowed is rounded twice.
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, f);
  *r.ptr = '\0';
  const double d = std::strtod(buf, nullptr);
  float back = 0;
  if (Narrow(d, back) && std::bit_cast<uint32_t>(back) == bits) return d;
  return static_cast<double>(f);
}

float FloatFromJson(const json& j, const std::string& path) {
  if (j.is_number()) {
    float f = 0;
    if (!Narrow(j.get<double>(), f)) Fail(path, "number is outside the range of a 32-bit float");
    return f;
  }
  if (j.is_string()) {
    const std::string s = j.get<std::string>();
    if (s == "inf") return std::numeric_limits<float>::infinity();
    if (s == "-inf") return -std::numeric_limits<float>::infinity();
    if (s == "nan") return std::bit_cast<float>(0x7fc00000u);
    if (s.size() == 10 && s[0] == '0' && s[1] == 'x') {
      uint32_t bits = 0;
      const auto r = std::from_chars(s.data() + 2, s.data() + s.size(), bits, 16);
      if (r.ec == std::errc() && r.ptr == s.data() + s.size()) return std::bit_cast<float>(bits);
    }
    Fail(path, "expected a number, \"inf\", \"-inf\", \"nan\" or \"0x\" and eight hex digits, found \"" + s + "\"");
  }
  Fail(path, std::string("expected a number, found ") + TypeName(j));
}

int64_t IntFromJson(const json& j, const std::string& path, int64_t min, int64_t max) {
  int64_t v = 0;
  if (j.is_number_unsigned()) {
    const auto u = j.get<uint64_t>();
    if (u > static_cast<uint64_t>(max)) Fail(path, std::to_string(u) + " is above " + std::to_string(max));
    v = static_cast<int64_t>(u);
  } else if (j.is_number_integer()) {
    v = j.get<int64_t>();
  } else {
    Fail(path, std::string("expected an integer, found ") + (j.is_number() ? "a fraction" : TypeName(j)));
  }
  if (v < min) Fail(path, std::to_string(v) + " is below " + std::to_string(min));
  if (v > max) Fail(path, std::to_string(v) + " is above " + std::to_string(max));
  return v;
}

std::string Hex(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  const auto* p = static_cast<const unsigned char*>(data);
  std::string s;
  s.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

std::string HexBytesFromJson(const json& j, const std::string& path) {
  if (!j.is_string()) Fail(path, std::string("expected a hex string, found ") + TypeName(j));
  const std::string& s = j.get_ref<const std::string&>();
  if (s.size() % 2 != 0) Fail(path, "hex string has an odd number of digits");
  auto nibble = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    Fail(path, std::string("'") + c + "' is not a hex digit");
  };
  std::string out(s.size() / 2, '\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(nibble(s[2 * i]) * 16 + nibble(s[2 * i + 1]));
  return out;
}

void HexFromJson(const json& j, const std::string& path, void* dest, size_t size) {
  const std::string b = HexBytesFromJson(j, path);
  if (b.size() != size)
    Fail(path, "expected " + std::to_string(size) + " bytes (" + std::to_string(size * 2) + " hex digits), found " +
                   std::to_string(b.size()));
  std::memcpy(dest, b.data(), size);
}

std::string BytesToUtf8(const std::string& bytes) {
  std::string s;
  s.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

std::string StringFromJson(const json& j, const std::string& path, size_t maxBytes) {
  if (!j.is_string()) Fail(path, std::string("expected a string, found ") + TypeName(j));
  // The parser has checked the UTF-8; only characters above U+00FF have no byte.
  const std::string& s = j.get_ref<const std::string&>();
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < s.size()) {
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F));
    } else {
      Fail(path, "a character above U+00FF has no 8-bit form");
    }
  }
  if (out.size() > maxBytes)
    Fail(path, "string of " + std::to_string(out.size()) + " bytes is longer than " + std::to_string(maxBytes));
  return out;
}

const json& Member(const json& object, const char* name, const std::string& path) {
  if (!object.is_object()) Fail(path, std::string("expected an object, found ") + TypeName(object));
  const auto it = object.find(name);
  if (it == object.end()) Fail(Where(path, name), "required field is missing");
  return *it;
}

void OnlyKnown(const json& object, std::span<const char* const> known, const std::string& path) {
  if (!object.is_object()) Fail(path, std::string("expected an object, found ") + TypeName(object));
  for (const auto& [key, value] : object.items()) {
    bool ok = false;
    for (const char* k : known) ok = ok || key == k;
    if (!ok) Fail(path + "/" + key, "unknown field");
  }
}

}  // namespace records
