// The interpreter at the end of the code, wherever it falls: an instruction
// that fits runs, one whose operands are cut off does not and reads nothing
// past the end (the code sits in a buffer of exactly its size, so the
// sanitizer build sees any stray read).
#include <gtest/gtest.h>

#include <vector>

#include "script/scripter.h"

TEST(ScriptDispatch, CodeEndsAtEveryOffset) {
  // PUSHI 7, STOREI 1, PUSHF 0.5, STOREF 1
  const std::vector<uint8_t> tail = {0, 7, 0, 0, 0, 4, 1, 2, 0, 0, 0, 0x3f, 5, 1};
  for (size_t pad = 0; pad < 12; ++pad) {
    for (size_t kept = 0; kept <= tail.size(); ++kept) {
      std::vector<uint8_t> code(pad, 0xff);  // one-byte no-operations
      code.insert(code.end(), tail.begin(), tail.begin() + static_cast<ptrdiff_t>(kept));
      scripter::IntVars.assign(2, 0);
      scripter::FloatVars.assign(2, 0.0f);
      scripter::RunScript(code.data(), static_cast<int32_t>(code.size()), 0, 0, 0.0f);
      EXPECT_EQ(scripter::IntVars[1], kept >= 7 ? 7 : 0) << pad << " " << kept;
      EXPECT_EQ(scripter::FloatVars[1], kept >= 14 ? 0.5f : 0.0f) << pad << " " << kept;
    }
  }
}
