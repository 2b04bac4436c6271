// qvl dir and qvl get: the container seen exactly as the player reads it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "data/filestuff.h"
#include "tools/commands.h"

namespace tools {

bool WantsHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) return true;
  return false;
}

bool InputAndOutput(int argc, char** argv, const char*& in, const char*& out) {
  in = out = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "-o") && i + 1 < argc && !out)
      out = argv[++i];
    else if (!in && argv[i][0] != '-')
      in = argv[i];
    else
      return in = out = nullptr, false;
  }
  return in && out;
}

namespace {

// Opens `path` for the commands; prints why not and returns false.
bool Open(const char* path) {
  try {
    switch (filestuff::OpenDemoFile(path)) {
      case filestuff::OpenResult::Opened:
        return true;
      case filestuff::OpenResult::CannotOpen:
        std::fprintf(stderr, "qvl: %s: cannot open the file\n", path);
        return false;
      case filestuff::OpenResult::WrongSignature:
        std::fprintf(stderr, "qvl: %s: not a demo file (wrong signature)\n", path);
        return false;
    }
  } catch (const dllShared::DataError& e) {
    std::fprintf(stderr, "qvl: %s\n", e.what());
  }
  return false;
}

void Hex(const unsigned char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) std::printf("%02x", p[i]);
  std::printf("\n");
}

}  // namespace

int CmdDir(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl dir FILE\n\nOne line per directory entry, in file order: the value's offset, a tab,\n"
        "and the name's bytes as stored.\n");
    return ExitOk;
  }
  if (argc != 2) {
    std::fprintf(stderr, "qvl dir: expected one FILE (see qvl dir --help)\n");
    return ExitBadInput;
  }
  if (!Open(argv[1])) return ExitBadInput;
  for (const filestuff::TDirEntry& e : filestuff::Directory()) {
    std::printf("%d\t", e.Offset);
    std::fwrite(e.Name.data(), 1, e.Name.size(), stdout);
    std::printf("\n");
  }
  return ExitOk;
}

int CmdGet(int argc, char** argv) {
  const char* usage =
      "usage: qvl get FILE KEY (--int | --string | --block N)\n\n"
      "Looks KEY up as the player does (letters a-z without case, the first entry wins)\n"
      "and prints the int32 in decimal, the string's bytes, or N bytes in lowercase hex.\n"
      "Exit status: 0 found, 1 no such key, 2 unreadable or damaged file.\n";
  if (WantsHelp(argc, argv)) {
    std::printf("%s", usage);
    return ExitOk;
  }
  enum class Kind { None, Int, String, Block } kind = Kind::None;
  long blockSize = 0;
  const char* positional[2] = {};
  int npos = 0;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    Kind k = Kind::None;
    if (!std::strcmp(a, "--int")) {
      k = Kind::Int;
    } else if (!std::strcmp(a, "--string")) {
      k = Kind::String;
    } else if (!std::strcmp(a, "--block")) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "qvl get: --block needs a byte count\n");
        return ExitBadInput;
      }
      char* end = nullptr;
      blockSize = std::strtol(argv[++i], &end, 10);
      if (!*argv[i] || *end || blockSize < 0 || blockSize > 0x7FFFFFFF) {
        std::fprintf(stderr, "qvl get: --block needs a byte count, not '%s'\n", argv[i]);
        return ExitBadInput;
      }
      k = Kind::Block;
    } else if (npos < 2) {
      positional[npos++] = a;
      continue;
    } else {
      std::fprintf(stderr, "qvl get: unexpected argument '%s'\n", a);
      return ExitBadInput;
    }
    if (kind != Kind::None) {
      std::fprintf(stderr, "qvl get: give one of --int, --string, --block\n");
      return ExitBadInput;
    }
    kind = k;
  }
  if (npos != 2 || kind == Kind::None) {
    std::fprintf(stderr, "%s", usage);
    return ExitBadInput;
  }
  if (!Open(positional[0])) return ExitBadInput;
  const std::string key = positional[1];
  try {
    if (!filestuff::FindKey(key)) return ExitNotFound;
    switch (kind) {
      case Kind::Int:
        std::printf("%d\n", filestuff::ReadInt(key, 0));
        break;
      case Kind::String: {
        std::string s;
        filestuff::ReadString(key, "", s);
        std::fwrite(s.data(), 1, s.size(), stdout);
        std::printf("\n");
        break;
      }
      case Kind::Block: {
        if (blockSize > filestuff::FileSize() - filestuff::FilePosition())
          filestuff::Damaged(key, "read of " + std::to_string(blockSize) + " bytes past the end of the file");
        std::string buf(static_cast<size_t>(blockSize), '\0');
        filestuff::ReadBlock(key, buf.data(), static_cast<int32_t>(blockSize));
        Hex(reinterpret_cast<const unsigned char*>(buf.data()), buf.size());
        break;
      }
      case Kind::None:
        break;
    }
  } catch (const dllShared::DataError& e) {
    std::fprintf(stderr, "qvl: %s\n", e.what());
    return ExitBadInput;
  }
  return ExitOk;
}

}  // namespace tools
