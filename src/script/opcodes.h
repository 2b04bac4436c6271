// opcodes: the script instruction set as one table, shared by the assembler,
// the disassembler and the checker.
//
// Stack effects count entries: an instruction pops its floats, then its
// integers, then pushes. Bytes not in the table are one-byte no-operations.
#pragma once

#include <array>
#include <cstdint>

namespace opcodes {

enum class Operand : uint8_t {
  None,
  Int32,    // four bytes, little-endian
  Float32,  // four bytes, little-endian IEEE single
  Index,    // one byte, a variable number
};

struct TInstr {
  uint8_t Code;
  const char* Name;
  Operand Kind;
  int8_t IntPop, IntPush, FloatPop, FloatPush;
};

enum : uint8_t { PUSHI = 0, LOADI = 1, PUSHF = 2, LOADF = 3, STOREI = 4, STOREF = 5, JMP = 24, JEQ = 46, BEAT = 73, SHADOW = 100 };

inline constexpr TInstr Table[] = {
    {0, "PUSHI", Operand::Int32, 0, 1, 0, 0},     {1, "LOADI", Operand::Index, 0, 1, 0, 0},
    {2, "PUSHF", Operand::Float32, 0, 0, 0, 1},   {3, "LOADF", Operand::Index, 0, 0, 0, 1},
    {4, "STOREI", Operand::Index, 1, 0, 0, 0},    {5, "STOREF", Operand::Index, 0, 0, 1, 0},
    {6, "MULI", Operand::None, 2, 1, 0, 0},       {7, "DIVI", Operand::None, 2, 1, 0, 0},
    {8, "ADDI", Operand::None, 2, 1, 0, 0},       {9, "SUBI", Operand::None, 2, 1, 0, 0},
    {10, "MULF", Operand::None, 0, 0, 2, 1},      {11, "DIVF", Operand::None, 0, 0, 2, 1},
    {12, "ADDF", Operand::None, 0, 0, 2, 1},      {13, "SUBF", Operand::None, 0, 0, 2, 1},
    {14, "SINF", Operand::None, 0, 0, 1, 1},      {15, "STARTUBE", Operand::None, 1, 0, 4, 0},
    {16, "LINEWIDTH", Operand::None, 0, 0, 1, 0}, {24, "JMP", Operand::None, 1, 0, 0, 0},
    {25, "PUSHMATRIX", Operand::None, 0, 0, 0, 0}, {26, "POPMATRIX", Operand::None, 0, 0, 0, 0},
    {27, "TRANSLATE", Operand::None, 0, 0, 3, 0}, {28, "COLOR3", Operand::None, 0, 0, 3, 0},
    {29, "COLOR4", Operand::None, 0, 0, 4, 0},    {30, "ROTATE", Operand::None, 0, 0, 4, 0},
    {31, "BEGIN", Operand::None, 1, 0, 0, 0},     {32, "END", Operand::None, 0, 0, 0, 0},
    {33, "VERTEX", Operand::None, 0, 0, 3, 0},    {34, "TEXCOORD", Operand::None, 0, 0, 2, 0},
    {35, "ENABLE", Operand::None, 1, 0, 0, 0},    {36, "DISABLE", Operand::None, 1, 0, 0, 0},
    {37, "BLENDFUNC", Operand::None, 2, 0, 0, 0}, {38, "BINDTEX", Operand::None, 1, 0, 0, 0},
    {45, "SETCMP", Operand::None, 2, 0, 0, 0},    {46, "JEQ", Operand::None, 1, 0, 0, 0},
    {47, "MODI", Operand::None, 2, 1, 0, 0},      {48, "LIGHTV", Operand::None, 2, 0, 4, 0},
    {49, "LIGHT1", Operand::None, 0, 0, 0, 0},    {50, "TIME", Operand::None, 0, 1, 0, 0},
    {51, "ELAPSED", Operand::None, 0, 1, 0, 0},   {52, "PROGRESS", Operand::None, 0, 0, 0, 1},
    {53, "ITOF", Operand::None, 1, 0, 0, 1},      {54, "FTOI", Operand::None, 0, 1, 1, 0},
    {73, "BEAT", Operand::None, 1, 0, 1, 1},      {91, "QUAD", Operand::None, 0, 0, 4, 0},
    {92, "BOX", Operand::None, 0, 0, 3, 0},       {93, "RING", Operand::None, 1, 0, 2, 0},
    {94, "SPHERE", Operand::None, 1, 0, 1, 0},    {95, "DISC", Operand::None, 1, 0, 1, 0},
    {96, "CONE", Operand::None, 1, 0, 2, 0},      {99, "RAYS", Operand::None, 1, 0, 2, 0},
    {100, "SHADOW", Operand::None, 0, 0, 3, 0},
};

constexpr int OperandBytes(Operand k) {
  return k == Operand::None ? 0 : k == Operand::Index ? 1 : 4;
}

namespace detail {
constexpr std::array<const TInstr*, 256> ByCode() {
  std::array<const TInstr*, 256> a{};
  for (const TInstr& i : Table) a[i.Code] = &i;
  return a;
}
inline constexpr std::array<const TInstr*, 256> byCode = ByCode();
}  // namespace detail

// The instruction of an opcode byte; null for the no-operations.
constexpr const TInstr* Find(uint8_t code) { return detail::byCode[code]; }

}  // namespace opcodes
