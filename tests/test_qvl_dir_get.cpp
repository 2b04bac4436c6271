// qvl dir and qvl get on files written by the project's writer and on damaged ones.
#include <gtest/gtest.h>

#include <algorithm>

#include "data/filestuff.h"
#include "toolRun.h"

namespace {

using testutil::Qvl;
using testutil::Quote;

class QvlDirGet : public testutil::DirTest {
 protected:
  void SetUp() override {
    filestuff::WriteDemoFile(path, [] {
      filestuff::WriteString("DemoTitle", "Hi there");
      filestuff::WriteInt("TexCount", -42);
      filestuff::WriteBlock("Tunne\xF6" "0", "\x00\xAB\xFF", 3);
      filestuff::WriteInt("texcount", 7);  // shadowed by the first entry
    });
  }
  std::string path = (dir / "demo.qvl").string();
};

TEST_F(QvlDirGet, DirAndGetReadAsThePlayerDoes) {
  // Offsets are absolute: the header is 15 bytes plus each entry's length byte, name and offset.
  const int32_t h = 15 + (1 + 9 + 4) + (1 + 8 + 4) + (1 + 7 + 4) + (1 + 8 + 4);
  auto r = Qvl("dir " + Quote(path));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::to_string(h) + "\tDemoTitle\n" + std::to_string(h + 9) + "\tTexCount\n" +
                       std::to_string(h + 13) + "\tTunne\xF6" "0\n" + std::to_string(h + 16) + "\ttexcount\n");
  const std::pair<std::string, std::string> gets[] = {{"TEXCOUNT --int", "-42\n"},
                                                      {"demotitle --string", "Hi there\n"},
                                                      {"\"$(printf 'TUNNE\\3660')\" --block 3", "00abff\n"}};
  for (const auto& [args, out] : gets) EXPECT_EQ(Qvl("get " + Quote(path) + " " + args).out, out) << args;
  r = Qvl("get " + Quote(path) + " Missing --int");
  EXPECT_EQ(std::make_pair(r.status, r.out), std::make_pair(1, std::string()));
}

TEST_F(QvlDirGet, BadFilesAndArgumentsExitTwo) {
  auto bytes = testutil::ReadAll(path);
  bytes.resize(bytes.size() - 5);  // the block read runs past the end
  testutil::WriteAll(dir / "cut.qvl", bytes);
  const std::pair<std::string, const char*> cases[] = {
      {"dir " + Quote((dir / "absent.qvl").string()), "cannot open"},
      {"get " + Quote((dir / "cut.qvl").string()) + " \"$(printf 'Tunne\\3660')\" --block 3", "offset"},
      {"get " + Quote(path) + " DemoTitle --block 2000000000", "offset"},
      {"get " + Quote(path) + " X", ""},
      {"get " + Quote(path) + " X --int --string", ""},
      {"get " + Quote(path) + " X --block -1", ""},
      {"dir", ""},
  };
  for (const auto& [args, says] : cases) {
    const auto r = Qvl(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    EXPECT_TRUE(!*says || std::count(r.err.begin(), r.err.end(), '\n') == 1) << r.err;
  }
  EXPECT_EQ(Qvl("get --help").status, 0);
}

}  // namespace
