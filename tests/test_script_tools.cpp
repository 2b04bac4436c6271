// Script programs as text (qvl asm, qvl disasm, "Asm" in qvl build) and the script check.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "script/opcodes.h"
#include "script/scriptAsm.h"
#include "script/scriptCheck.h"
#include "toolRun.h"

namespace {

using testutil::Quote;

std::vector<uint8_t> Asm(const std::vector<std::string>& lines) {
  const auto r = scriptAsm::Assemble(lines);
  EXPECT_TRUE(r.Ok) << r.Error.Line << ": " << r.Error.Message;
  return r.Code;
}

const std::vector<std::string> countingLoop = {
    "; counts IntVars[0] up to 5", "  pushi 0", "  STOREI 0", "loop: LOADI 0", "  PUSHI 1", "  ADDI",
    "  STOREI 0", "  LOADI 0", "  PUSHI 0x5", "  SETCMP", "  PUSHI done", "  JEQ", "  PUSHI loop", "  JMP", "done:"};

TEST(ScriptAsm, ToolAssemblesTheCountingLoopAndNamesTheBadLine) {
  const auto dir = testutil::TempDir("asm");
  std::string text;
  for (const auto& l : countingLoop) text += l + "\n";
  std::ofstream(dir / "loop.s") << text, std::ofstream(dir / "bad.s") << text << "  PUSHX 3\n";
  auto run = [&](const std::string& name) {
    return testutil::Run(Quote(QVL_TOOL_PATH) + " asm " + Quote((dir / name).string() + ".s") + " -o " + Quote((dir / name).string() + ".bin"));
  };
  auto r = run("loop");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testutil::Slurp(dir / "loop.bin"), std::string("\x00\x00\x00\x00\x00\x04\x00\x01\x00\x00\x01\x00\x00\x00\x08\x04\x00\x01\x00"
                                                          "\x00\x05\x00\x00\x00\x2d\x00\x25\x00\x00\x00\x2e\x00\x07\x00\x00\x00\x18", 37));
  r = run("bad");
  EXPECT_EQ(r.err, (dir / "bad.s").string() + ":16: unknown mnemonic \"PUSHX\"\n");
  EXPECT_TRUE(r.status == 1 && !std::filesystem::exists(dir / "bad.bin"));
  std::filesystem::remove_all(dir);
}

TEST(ScriptAsm, OperandsAndErrors) {
  EXPECT_EQ(Asm({"PUSHI GL_QUADS", "pushi gl_one_minus_src_alpha", "PUSHI -2147483648", "PUSHI 0xFFFFFFFF",
                 "PUSHF 0.1", "PUSHF -0", "LOADF 255", ".byte 0x11, 200 ; raw", "x: PUSHI x"}),
            (std::vector<uint8_t>{0, 7, 0, 0, 0, 0, 0x03, 0x03, 0, 0, 0, 0, 0, 0, 0x80, 0, 0xff, 0xff, 0xff, 0xff,
                                  2, 0xcd, 0xcc, 0xcc, 0x3d, 2, 0, 0, 0, 0x80, 3, 255, 0x11, 200, 0, 34, 0, 0, 0}));
  const struct { std::vector<std::string> lines; int32_t line; const char* message; } bad[] = {
      {{"ADDI", "ADDI 3"}, 2, "ADDI takes no operand"}, {{"PUSHI"}, 1, "PUSHI needs an operand"},
      {{"LOADI 256"}, 1, "LOADI takes a variable number 0..255, not \"256\""},
      {{"PUSHI 4294967296"}, 1, "PUSHI value 4294967296 does not fit in 32 bits"},
      {{"PUSHF 1e39"}, 1, "PUSHF takes a decimal number within the range of a single, not \"1e39\""},
      {{"PUSHI nowhere", "ADDI"}, 1, "undefined label \"nowhere\""}, {{"a:", "a:"}, 2, "label \"a\" is defined twice"},
      {{".byte 1, , 2"}, 1, "\"\" is not a byte value 0..255"},
  };
  for (const auto& b : bad) {
    const auto r = scriptAsm::Assemble(b.lines);
    EXPECT_TRUE(!r.Ok && r.Error.Line == b.line && r.Error.Message == b.message) << r.Error.Line << ": " << r.Error.Message;
  }
}

// Random programs, weighted toward real instructions and PUSHI-before-jump pairs so that labels, cut-off
// ends and NaN immediates all turn up; the check runs on each too, as it must on any bytes.
TEST(ScriptAsm, DisassemblyAssemblesBackToTheSameBytes) {
  std::mt19937 rng(1234);
  for (int n = 0; n < 4000; ++n) {
    std::vector<uint8_t> code;
    for (const size_t len = rng() % 48; code.size() < len;) {
      if (const uint32_t pick = rng() % 8; pick == 0)
        code.insert(code.end(), {0, static_cast<uint8_t>(rng() % (len + 2)), 0, 0, 0, rng() % 2 ? uint8_t{24} : uint8_t{46}});
      else
        code.push_back(pick == 1 ? opcodes::Table[rng() % std::size(opcodes::Table)].Code : static_cast<uint8_t>(rng()));
    }
    const std::string text = scriptAsm::Disassemble(code);
    const auto back = scriptAsm::Assemble(scriptAsm::SplitLines(text));
    ASSERT_TRUE(back.Ok) << text << back.Error.Line << ": " << back.Error.Message;
    ASSERT_EQ(back.Code, code) << text;
    scriptCheck::Check(code, 1, 1);
  }
}

TEST(ScriptCheck, FindsEachDefectAndPassesCleanPrograms) {
  // found: "error@offset: message start", in order
  const struct { std::vector<std::string> lines, found; } cases[] = {
      {countingLoop, {}}, {{"PUSHF 0.1", "PUSHF -0.1", "PUSHF 0", "SHADOW", "PUSHF 1", "PUSHF 0.5", "PUSHI 3", "RING", "PUSHI end", "JMP", "end:"}, {}},
      {{"ADDI"}, {"error@0: Stack error (int pop) at ADDI"}}, {{"PUSHI 1", "QUAD"}, {"error@5: Stack error (float pop) at QUAD"}},
      {{"top: TIME", "PUSHI top", "JMP"}, {"error@1: Stack error (int push) at PUSHI"}},
      {{"LOADI 1", "STOREF 0"}, {"error@0: LOADI 1 is beyond the 1 integer", "error@2: Stack error (float pop)"}},
      {{"PUSHI 0x19191919", "PUSHI 2", "JMP"}, {"error@10: jump target 2 is not an instruction start"}},
      {{"PUSHI -1", "JMP", "ADDI"}, {"error@5: jump target -1 lies outside the program (0..7)"}},
      {{"PUSHI 9", "JMP", ".byte 0, 1, 2"}, {"error@6: PUSHI is cut off by the end of the program (2 operand"}},
      {{"top: PUSHI 1", "PUSHI 1", "SETCMP", "PUSHI top", "JEQ"}, {"warning@16: JEQ closes a loop without a JMP"}},
      {{"PUSHI 0", "STOREI 0", "PUSHF 0", "PUSHF 0", "PUSHF 0", "SHADOW"}, {"warning@22: SHADOW is not at the start"}},
      // The outer run goes on with the stacks as the shadow pass left them: empty, though it pushed 1.
      {{"PUSHI 1", "PUSHF 0", "PUSHF 0", "PUSHF 0", "SHADOW", "STOREI 0"}, {"error@21: Stack error (int pop) at STOREI"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (const auto& f : scriptCheck::Check(Asm(c.lines), 1, 1))
      got.push_back(std::string(f.Error ? "error@" : "warning@") + std::to_string(f.Offset) + ": " + f.Message);
    ASSERT_EQ(got.size(), c.found.size()) << c.lines[0] << (got.empty() ? "" : "\n" + got[0]);
    for (size_t k = 0; k < got.size(); ++k) EXPECT_TRUE(got[k].starts_with(c.found[k])) << got[k];
  }
}

TEST(ScriptTools, AsmProgramsInADemoAreBuiltShownAndChecked) {
  const auto dir = testutil::TempDir("scripts");
  const auto qvl = Quote(QVL_TOOL_PATH), demo = Quote((dir / "d.qvl").string());
  auto build = [&](const std::string& programs) {
    std::ofstream(dir / "d.json") << R"({"scripts": {"ScrICount": 1, "programs": [)" + programs + "]}}";
    return testutil::Run(qvl + " build " + Quote((dir / "d.json").string()) + " -o " + demo);
  };
  auto r = build(R"({"Asm": ["PUSHI 1", "STOREI 0"]}, {"Asm": ["ADDI"]}, {"Code": "0101"})");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(testutil::Run(qvl + " dump " + demo).out.find(R"("Code": "00010000000400")"), std::string::npos);
  EXPECT_NE(testutil::Run(qvl + " disasm " + demo + " 0").out.find("STOREI 0"), std::string::npos);
  r = testutil::Run(qvl + " check " + demo);
  EXPECT_TRUE(r.status == 1 && r.out.find("error: script 1 byte 0: Stack error (int pop) at ADDI") != std::string::npos &&
              r.out.find("error: script 2 byte 0: LOADI 1 is beyond the 1 integer variables") != std::string::npos) << r.out;
  for (const auto& [programs, message] : {std::pair{R"({"Asm": ["ADDI", "PUSHX"]})", "/scripts/programs/0/Asm/1: line 2: unknown mnemonic \"PUSHX\""},
      {R"({"Asm": ["ADDI"], "Code": "08"})", "/scripts/programs/0/Asm: a program has one of \"Code\", \"Asm\" and \"AsmFile\", not two"}}) {
    r = build(programs);
    EXPECT_TRUE(r.status == 2 && r.err.find(message) != std::string::npos) << r.err;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
