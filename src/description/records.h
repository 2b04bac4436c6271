// records: the demo file's fixed-layout records described field by field,
// so that qvl dump, build and check read and write them the same way.
//
// Each table covers its record byte for byte: named fields as numbers or
// [x, y, z] triples, unused and padding bytes as a lowercase hex string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace records {

using json = nlohmann::ordered_json;

enum class FieldType : uint8_t {
  Int32,
  UInt8,
  Float,
  Vector3,    // x, y, z as stored
  VectorXZY,  // stored x, z, y; shown as [x, y, z]
  Bytes,      // unused or padding: hex, optional in a description
};

// What an integer field refers to, for qvl check.
enum class Refers : uint8_t { Nothing, Texture, Mesh };

struct TField {
  const char* Name;
  FieldType Type;
  int32_t Offset;
  int32_t Size;
  Refers Ref = Refers::Nothing;
};

struct TRecord {
  const char* Name;
  int32_t Size;
  std::span<const TField> Fields;
};

// A description that cannot be built; the message starts with the JSON
// path of the offending value ("/operators/Fader/0/StartRed: ...").
class DescError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
[[noreturn]] void Fail(const std::string& path, const std::string& what);

// The parameter-set record of operator type `type`; null for the Scripter,
// whose programs are not fixed records, and for numbers outside 0..14.
const TRecord* OperatorRecord(int32_t type);
const TRecord& EventRecord();

// The sets of type `type` as loaded, as raw bytes.
int32_t LoadedSetCount(int32_t type);
const unsigned char* LoadedSet(int32_t type, int32_t index);

json RecordToJson(const TRecord& record, const unsigned char* bytes);
// Fills `bytes` (record.Size of them) from an object holding every named
// field; Bytes fields may be left out and stay zero. Unknown members are
// refused, so a misspelt field name is not silently dropped.
void RecordFromJson(const TRecord& record, const json& j, unsigned char* bytes, const std::string& path,
                    std::span<const char* const> alsoAllowed = {});
int32_t FieldInt(const TField& f, const unsigned char* bytes);

// A float as JSON that reads back to the same 32-bit value: the shortest
// decimal that does, or "inf", "-inf", "nan", or "0x" and the bits for
// other NaNs.
json FloatToJson(float f);
float FloatFromJson(const json& j, const std::string& path);
int64_t IntFromJson(const json& j, const std::string& path, int64_t min, int64_t max);

std::string Hex(const void* data, size_t size);
// Exactly `size` bytes from a hex string.
void HexFromJson(const json& j, const std::string& path, void* dest, size_t size);
// Any number of bytes from a hex string.
std::string HexBytesFromJson(const json& j, const std::string& path);

// Demo-file strings are 8-bit: each byte shows as the character of the same
// number (U+0000..U+00FF), so any name survives a trip through JSON.
std::string BytesToUtf8(const std::string& bytes);
std::string StringFromJson(const json& j, const std::string& path, size_t maxBytes = 255);

// A member that must be there.
const json& Member(const json& object, const char* name, const std::string& path);
// Refuses members of `object` not named in `known`.
void OnlyKnown(const json& object, std::span<const char* const> known, const std::string& path);

}  // namespace records
