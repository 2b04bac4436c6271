#include "data/filestuff.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <unordered_map>

#include "engine/paths.h"

namespace filestuff {

bool CountingPass = false;
int32_t RunningOffset = 0;

namespace {

// The open file: its bytes, read whole at open, and a position.
struct OpenFile {
  bool open = false;
  std::string name;
  std::vector<unsigned char> bytes;
  int64_t pos = 0;
};

// Lives until the program ends: the directory of the last file read and its
// index (upper-cased name -> first entry with that name).
struct DirectoryState {
  std::vector<TDirEntry> entries;
  std::unordered_map<std::string, int32_t> index;
};

// The writer's state while WriteDemoFile runs.
struct WriterState {
  std::vector<TDirEntry> entries;
  std::vector<unsigned char> out;
};

OpenFile DemoFile;  // the one open demo file
DirectoryState dir;
WriterState writer;

std::string Describe(std::string_view key) {
  if (key.empty()) return "unnamed read";
  return "key \"" + std::string(key) + "\"";
}

[[noreturn]] void Fail(std::string_view key, int64_t offset, std::string_view what) {
  throw ReadError(DemoFile.name + ": " + std::string(what) + " (" + Describe(key) + ", offset " +
                  std::to_string(offset) + ")");
}

// Copies `size` bytes from the current position, or throws.
void Take(std::string_view key, void* dest, int64_t size) {
  if (!DemoFile.open) throw ReadError("no demo file is open (" + Describe(key) + ")");
  if (size < 0) Fail(key, DemoFile.pos, "negative read size " + std::to_string(size));
  const int64_t have = static_cast<int64_t>(DemoFile.bytes.size()) - DemoFile.pos;
  if (size > have)
    Fail(key, DemoFile.pos,
         "read of " + std::to_string(size) + " bytes past the end of the file (" + std::to_string(have) +
             " left)");
  if (size > 0) std::memcpy(dest, DemoFile.bytes.data() + DemoFile.pos, static_cast<size_t>(size));
  DemoFile.pos += size;
}

int32_t TakeInt(std::string_view key) {
  unsigned char b[4];
  Take(key, b, 4);
  int32_t v;
  std::memcpy(&v, b, 4);
  return v;
}

void TakeShortString(std::string_view key, std::string& out) {
  unsigned char n;
  Take(key, &n, 1);
  std::string s(n, '\0');
  Take(key, s.data(), n);
  out = std::move(s);
}

void ReadDirectory() {
  const int32_t count = TakeInt("directory count");
  // Every entry needs at least a length byte and a 4-byte offset.
  const int64_t left = static_cast<int64_t>(DemoFile.bytes.size()) - DemoFile.pos;
  if (count < 0 || static_cast<int64_t>(count) * 5 > left)
    Fail("directory count", DemoFile.pos - 4,
         "directory count " + std::to_string(count) + " cannot fit in the file");
  dir.entries.clear();
  dir.index.clear();
  dir.entries.resize(static_cast<size_t>(count));
  dir.index.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    TDirEntry& e = dir.entries[static_cast<size_t>(i)];
    TakeShortString("directory entry", e.Name);
    e.Offset = TakeInt("directory entry");
    dir.index.emplace(UpperKey(e.Name), i);  // keeps the earliest entry
  }
}

void Append(const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  writer.out.insert(writer.out.end(), p, p + size);
}

void CheckShort(std::string_view what, std::string_view s) {
  if (s.size() > 255)
    throw WriteError(std::string(what) + " of " + std::to_string(s.size()) +
                     " bytes is longer than 255: \"" + std::string(s.substr(0, 40)) + "...\"");
}

void Record(std::string_view name, int64_t size) {
  CheckShort("name", name);
  if (static_cast<int64_t>(RunningOffset) + size > std::numeric_limits<int32_t>::max())
    throw WriteError("demo file would exceed 2 GiB at \"" + std::string(name) + "\"");
  writer.entries.push_back({std::string(name), RunningOffset});
  RunningOffset += static_cast<int32_t>(size);
}

}  // namespace

void Startup() {
  dllShared::Host.WriteBlock = WriteBlock;
  dllShared::Host.ReadBlock = ReadBlock;
  dllShared::Host.WriteInt = WriteInt;
  dllShared::Host.ReadInt = ReadInt;
  dllShared::Host.WriteString = WriteString;
  dllShared::Host.ReadString = ReadString;
}

void Shutdown() {
  CloseDemoFile();
  dir = DirectoryState{};
}

OpenResult OpenDemoFile(const std::string& path) {
  CloseDemoFile();
  // Read-only: a write-protected demo must play.
  std::ifstream in(path, std::ios::binary);
  if (!in) return OpenResult::CannotOpen;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return OpenResult::CannotOpen;
  return OpenDemoBytes(path, std::move(bytes));
}

OpenResult OpenDemoBytes(const std::string& name, std::vector<unsigned char> bytes) {
  CloseDemoFile();
  const std::string path = name;
  if (bytes.size() < sizeof Signature || std::memcmp(bytes.data(), Signature, sizeof Signature) != 0)
    return OpenResult::WrongSignature;
  DemoFile.open = true;
  DemoFile.name = path;
  DemoFile.bytes = std::move(bytes);
  DemoFile.pos = sizeof Signature;
  try {
    ReadDirectory();
  } catch (...) {
    CloseDemoFile();
    throw;
  }
  return OpenResult::Opened;
}

void CloseDemoFile() {
  DemoFile.open = false;
  DemoFile.bytes.clear();
  DemoFile.bytes.shrink_to_fit();
  DemoFile.pos = 0;
}

bool IsOpen() { return DemoFile.open; }
const std::string& OpenFileName() { return DemoFile.name; }
int64_t FileSize() { return static_cast<int64_t>(DemoFile.bytes.size()); }
int64_t FilePosition() { return DemoFile.pos; }
const std::vector<TDirEntry>& Directory() { return dir.entries; }

std::string UpperKey(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

bool FindKey(std::string_view name) {
  auto it = dir.index.find(UpperKey(name));
  if (it == dir.index.end()) return false;
  const TDirEntry& e = dir.entries[static_cast<size_t>(it->second)];
  if (!DemoFile.open) throw ReadError("no demo file is open (" + Describe(name) + ")");
  if (e.Offset < 0 || e.Offset > static_cast<int64_t>(DemoFile.bytes.size()))
    Fail(name, e.Offset, "value offset lies beyond the end of the file");
  DemoFile.pos = e.Offset;
  return true;
}

void ReadBlock(std::string_view name, void* dest, int32_t size) {
  if (FindKey(name)) Take(name, dest, size);
}

int32_t ReadInt(std::string_view name, int32_t def) {
  return FindKey(name) ? TakeInt(name) : def;
}

void ReadString(std::string_view name, std::string_view def, std::string& out) {
  if (FindKey(name))
    TakeShortString(name, out);
  else
    out = def;
}

void ReadRaw(void* dest, int32_t size) { Take({}, dest, size); }

void ReadShortString(std::string& out) { TakeShortString({}, out); }

void Damaged(std::string_view key, std::string_view what) { Fail(key, DemoFile.pos, what); }

// ---- writing ----

void WriteBlock(std::string_view name, const void* data, int32_t size) {
  if (size < 0) throw WriteError("negative block size for \"" + std::string(name) + "\"");
  if (CountingPass)
    Record(name, size);
  else
    Append(data, static_cast<size_t>(size));
}

void WriteInt(std::string_view name, int32_t value) {
  if (CountingPass) {
    Record(name, 4);
  } else {
    unsigned char b[4];
    std::memcpy(b, &value, 4);
    Append(b, 4);
  }
}

void WriteString(std::string_view name, std::string_view s) {
  CheckShort("string", s);
  if (CountingPass) {
    Record(name, static_cast<int64_t>(s.size()) + 1);
  } else {
    const auto n = static_cast<unsigned char>(s.size());
    Append(&n, 1);
    Append(s.data(), s.size());
  }
}

std::vector<unsigned char> WriteDemoBytes(const std::function<void()>& values) {
  writer = WriterState{};
  struct Reset {
    ~Reset() {
      CountingPass = false;
      RunningOffset = 0;
      writer = WriterState{};
    }
  } reset;

  // Counting pass: offsets relative to the start of the values.
  CountingPass = true;
  RunningOffset = 0;
  values();
  CountingPass = false;

  int64_t header = HeaderSize;
  for (const TDirEntry& e : writer.entries) header += 1 + static_cast<int64_t>(e.Name.size()) + 4;
  if (header + RunningOffset > std::numeric_limits<int32_t>::max())
    throw WriteError("demo file would exceed 2 GiB");
  const int64_t valuesSize = RunningOffset;

  std::vector<TDirEntry> entries = std::move(writer.entries);
  writer.out.clear();
  writer.out.reserve(static_cast<size_t>(header + valuesSize));
  Append(Signature, sizeof Signature);
  const auto count = static_cast<int32_t>(entries.size());
  unsigned char b[4];
  std::memcpy(b, &count, 4);
  Append(b, 4);
  for (const TDirEntry& e : entries) {
    const auto n = static_cast<unsigned char>(e.Name.size());
    Append(&n, 1);
    Append(e.Name.data(), e.Name.size());
    const auto offset = static_cast<int32_t>(e.Offset + header);
    std::memcpy(b, &offset, 4);
    Append(b, 4);
  }

  // Writing pass: the same calls, now appending the values.
  values();
  if (static_cast<int64_t>(writer.out.size()) != header + valuesSize)
    throw WriteError("the writing pass wrote " + std::to_string(writer.out.size() - header) +
                     " bytes of values where the counting pass counted " + std::to_string(valuesSize));
  return std::move(writer.out);
}

void WriteDemoFile(const std::string& path, const std::function<void()>& values) {
  const std::vector<unsigned char> bytes = WriteDemoBytes(values);
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw WriteError("cannot write " + tmp);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(tmp.c_str());
      throw WriteError("cannot write " + tmp);
    }
  }
  std::error_code ec;
  std::filesystem::rename(paths::Of(tmp), paths::Of(path), ec);
  if (ec) {
    std::remove(tmp.c_str());
    throw WriteError("cannot rename " + tmp + " to " + path + ": " + ec.message());
  }
}

}  // namespace filestuff
