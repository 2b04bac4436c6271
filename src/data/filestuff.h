// filestuff: the named-chunk container file.
//
// A demo file is a signature, a directory of (name, offset) entries and the
// values the entries point at. Names are looked up ignoring the case of the
// letters a-z; the earliest entry wins. One file is open at a time.
//
// Every read on an open file is checked against its size: a read past the
// end throws ReadError naming the file, the key (or "unnamed read") and the
// offset.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dllShared.h"

namespace filestuff {

// "Quorvalin2" and the byte 0x1A.
inline constexpr char Signature[11] = {'Q', 'u', 'o', 'r', 'v', 'a', 'l', 'i', 'n', '2', '\x1A'};
inline constexpr int32_t HeaderSize = 11 + 4;

struct TDirEntry {
  std::string Name;
  int32_t Offset;
};

class ReadError : public dllShared::DataError {
 public:
  using dllShared::DataError::DataError;
};

// Raised by the writer (a name or string over 255 bytes, a file that cannot
// be written).
class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class OpenResult { Opened, CannotOpen, WrongSignature };

void Startup();   // puts the read and write services into fHost slots 5..10
void Shutdown();

// Opens `path` read-only, checks the signature and reads the directory.
// CannotOpen and WrongSignature leave nothing open; a damaged directory
// throws ReadError.
OpenResult OpenDemoFile(const std::string& path);
// The same for a file already in memory; `name` stands for it in messages.
OpenResult OpenDemoBytes(const std::string& name, std::vector<unsigned char> bytes);
void CloseDemoFile();
bool IsOpen();
const std::string& OpenFileName();
int64_t FileSize();
int64_t FilePosition();

const std::vector<TDirEntry>& Directory();

std::string UpperKey(std::string_view s);
bool FindKey(std::string_view name);
void ReadBlock(std::string_view name, void* dest, int32_t size);
int32_t ReadInt(std::string_view name, int32_t def);
void ReadString(std::string_view name, std::string_view def, std::string& out);
void ReadRaw(void* dest, int32_t size);
void ReadShortString(std::string& out);

// Throws ReadError for the open file at the current position.
[[noreturn]] void Damaged(std::string_view key, std::string_view what);

// ---- writing ----

extern bool CountingPass;
extern int32_t RunningOffset;

void WriteBlock(std::string_view name, const void* data, int32_t size);
void WriteInt(std::string_view name, int32_t value);
void WriteString(std::string_view name, std::string_view s);

// Writes a demo file: `values` is called twice, once counting (to build the
// directory) and once writing, and must make the same write calls both
// times. The file is written under a temporary name and renamed, so a
// failure leaves no half-written file. Throws WriteError.
void WriteDemoFile(const std::string& path, const std::function<void()>& values);
// The same file's bytes, kept in memory.
std::vector<unsigned char> WriteDemoBytes(const std::function<void()>& values);

}  // namespace filestuff
