// scriptAsm: script programs as text and back.
//
// One instruction per line, mnemonics in any case; ';' starts a comment;
// "name:" puts a label at the current byte offset; PUSHI takes a decimal or
// 0x-hex integer, a label or an OpenGL enumeration name; PUSHF a decimal
// number; LOADI, LOADF, STOREI and STOREF a variable number 0..255;
// ".byte N, N, ..." emits raw bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace scriptAsm {

struct TAsmError {
  int32_t Line = 0;  // from 1
  std::string Message;
};

struct TAsmResult {
  bool Ok = false;
  std::vector<uint8_t> Code;  // empty unless Ok
  TAsmError Error;            // the first error, when not Ok
};

TAsmResult Assemble(const std::vector<std::string>& lines);

// Text that Assemble turns back into exactly `code`: opcodes without an
// instruction and a cut-off last instruction come out as .byte lines, and
// a PUSHI just before JMP or JEQ names its target by a label when the
// target is an instruction start or the end.
std::string Disassemble(const std::vector<uint8_t>& code);

// Splits text at "\n", dropping a "\r" before it.
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace scriptAsm
