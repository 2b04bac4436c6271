// qvl asm and qvl disasm on any input. As text: the assembler either
// refuses it with a line number inside the text or gives bytes whose
// disassembly assembles back to them. As bytes: the disassembly of any
// program assembles back to exactly that program.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/scriptAsm.h"

namespace {

void RoundTrip(const std::vector<uint8_t>& code) {
  const scriptAsm::TAsmResult back = scriptAsm::Assemble(scriptAsm::SplitLines(scriptAsm::Disassemble(code)));
  if (!back.Ok || back.Code != code) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> lines = scriptAsm::SplitLines(std::string(data, data + size));
  const scriptAsm::TAsmResult r = scriptAsm::Assemble(lines);
  if (!r.Ok && (r.Error.Line < 1 || r.Error.Line > static_cast<int32_t>(lines.size()) + 1)) std::abort();
  if (r.Ok) RoundTrip(r.Code);
  RoundTrip(std::vector<uint8_t>(data, data + size));
  return 0;
}
