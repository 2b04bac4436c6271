// scriptCheck: finds, before a demo plays, what in a script program will
// end the player or not run as its author meant.
//
// The check walks the program from byte 0 with the depths of both stacks,
// following jump targets it can see (a PUSHI right before JMP or JEQ) and
// both ways out of every JEQ. Safe on any bytes; the walk is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace scriptCheck {

struct TFinding {
  bool Error = false;  // otherwise a warning
  int32_t Offset = 0;  // byte offset in the program
  std::string Message;
};

// Findings ordered by offset. `intVars` and `floatVars` are the sizes of
// the variable banks.
std::vector<TFinding> Check(const std::vector<uint8_t>& code, size_t intVars, size_t floatVars);

}  // namespace scriptCheck
