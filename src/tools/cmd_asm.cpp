// qvl asm and qvl disasm: script programs as text, and text as programs.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "operators/opScripter.h"
#include "script/scriptAsm.h"
#include "tools/commands.h"
#include "tools/demoview.h"

namespace tools {

namespace {

bool ReadFile(const char* command, const char* path, std::string& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "qvl %s: %s: cannot open the file\n", command, path);
    return false;
  }
  out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  if (f.bad()) {
    std::fprintf(stderr, "qvl %s: %s: cannot read the file\n", command, path);
    return false;
  }
  return true;
}

}  // namespace

int CmdAsm(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl asm IN.s -o OUT.bin\n\n"
        "Assembles a script program. One instruction per line, mnemonics in any\n"
        "case; ';' starts a comment; 'name:' puts a label at the current offset.\n"
        "PUSHI takes a decimal or 0x-hex integer, a label or an OpenGL name such as\n"
        "GL_QUADS; PUSHF a decimal number (stored as the nearest single); LOADI,\n"
        "LOADF, STOREI and STOREF a variable number 0..255; '.byte N, N, ...' puts\n"
        "raw bytes. An error names the line (IN.s:12: ...) and writes nothing.\n");
    return ExitOk;
  }
  const char* in = nullptr;
  const char* out = nullptr;
  if (!InputAndOutput(argc, argv, in, out)) {
    std::fprintf(stderr, "qvl asm: expected IN.s -o OUT.bin (see qvl asm --help)\n");
    return ExitBadInput;
  }
  std::string text;
  if (!ReadFile("asm", in, text)) return ExitBadInput;
  const scriptAsm::TAsmResult r = scriptAsm::Assemble(scriptAsm::SplitLines(text));
  if (!r.Ok) {
    std::fprintf(stderr, "%s:%d: %s\n", in, r.Error.Line, r.Error.Message.c_str());
    return ExitNotFound;
  }
  if (r.Code.size() > static_cast<size_t>(opScripter::MaxCodeLen)) {
    std::fprintf(stderr, "qvl asm: %s: the program is longer than %d bytes\n", in, opScripter::MaxCodeLen);
    return ExitNotFound;
  }
  std::ofstream f(out, std::ios::binary | std::ios::trunc);
  if (!f) {
    std::fprintf(stderr, "qvl asm: %s: cannot create the file\n", out);
    return ExitBadInput;
  }
  f.write(reinterpret_cast<const char*>(r.Code.data()), static_cast<std::streamsize>(r.Code.size()));
  f.close();
  if (!f) {
    std::fprintf(stderr, "qvl asm: %s: cannot write the file\n", out);
    std::remove(out);  // a partial program would play as a different one
    return ExitBadInput;
  }
  return ExitOk;
}

int CmdDisasm(int argc, char** argv) {
  if (WantsHelp(argc, argv)) {
    std::printf(
        "usage: qvl disasm FILE\n"
        "       qvl disasm DEMO.qvl N\n\n"
        "Prints a script program as text that 'qvl asm' turns back into the same\n"
        "bytes: a raw program FILE, or script N (from 0) of a demo file.\n");
    return ExitOk;
  }
  std::vector<uint8_t> code;
  if (argc == 2) {
    std::string bytes;
    if (!ReadFile("disasm", argv[1], bytes)) return ExitBadInput;
    code.assign(bytes.begin(), bytes.end());
  } else if (argc == 3) {
    char* end = nullptr;
    const long n = std::strtol(argv[2], &end, 10);
    if (!*argv[2] || *end || n < 0) {
      std::fprintf(stderr, "qvl disasm: script number \"%s\" is not a number 0 or above\n", argv[2]);
      return ExitBadInput;
    }
    if (!demoview::Load("disasm", argv[1])) return ExitBadInput;
    const auto& scripts = opScripter::Scripts();
    if (static_cast<size_t>(n) >= scripts.size()) {
      std::fprintf(stderr, "qvl disasm: %s: there is no script %ld (the demo has %zu)\n", argv[1], n, scripts.size());
      return ExitNotFound;
    }
    code = scripts[static_cast<size_t>(n)].Code;
  } else {
    std::fprintf(stderr, "qvl disasm: expected FILE or DEMO.qvl N (see qvl disasm --help)\n");
    return ExitBadInput;
  }
  std::fputs(scriptAsm::Disassemble(code).c_str(), stdout);
  return ExitOk;
}

}  // namespace tools
