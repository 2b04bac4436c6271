// qvl dir and qvl get on files written by the project's writer and on damaged ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "data/filestuff.h"
#include "toolRun.h"

namespace {

using testutil::Qvl;
using testutil::Quote;

class QvlDirGet : public testutil::DirTest {
 protected:
  void SetUp() override {
    path = (dir / "demo.qvl").string();
    filestuff::WriteDemoFile(path, [] {
      filestuff::WriteString("DemoTitle", "Hi there");
      filestuff::WriteInt("TexCount", -42);
      const unsigned char b[3] = {0x00, 0xAB, 0xFF};
      filestuff::WriteBlock("Tunne\xF6" "0", b, 3);
      filestuff::WriteInt("texcount", 7);  // shadowed by the first entry
    });
  }
  std::string path;
};

TEST_F(QvlDirGet, DirListsEntriesInFileOrderWithRawNames) {
  auto r = Qvl("dir " + Quote(path));
  EXPECT_EQ(r.status, 0);
  const int32_t h = 15 + (1 + 9 + 4) + (1 + 8 + 4) + (1 + 7 + 4) + (1 + 8 + 4);
  const std::string expected = std::to_string(h) + "\tDemoTitle\n" + std::to_string(h + 9) + "\tTexCount\n" +
                               std::to_string(h + 13) + "\tTunne\xF6" "0\n" + std::to_string(h + 16) +
                               "\ttexcount\n";
  EXPECT_EQ(r.out, expected);
}

TEST_F(QvlDirGet, GetLooksUpAsThePlayerDoes) {
  auto r = Qvl("get " + Quote(path) + " TEXCOUNT --int");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "-42\n");
  r = Qvl("get " + Quote(path) + " demotitle --string");
  EXPECT_EQ(r.out, "Hi there\n");
  r = Qvl("get " + Quote(path) + " \"$(printf 'TUNNE\\3660')\" --block 3");
  EXPECT_EQ(r.out, "00abff\n");
  r = Qvl("get " + Quote(path) + " Missing --int");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST_F(QvlDirGet, BadFilesAndArgumentsExitTwoWithOneLine) {
  auto r = Qvl("dir " + Quote((dir / "absent.qvl").string()));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos);

  auto bytes = testutil::ReadAll(path);
  bytes[3] = 'X';
  testutil::WriteAll(dir / "sig.qvl", bytes);
  r = Qvl("dir " + Quote((dir / "sig.qvl").string()));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("signature"), std::string::npos);

  // Truncated: the block read runs past the end; the message says where.
  bytes = testutil::ReadAll(path);
  bytes.resize(bytes.size() - 5);
  testutil::WriteAll(dir / "cut.qvl", bytes);
  r = Qvl("get " + Quote((dir / "cut.qvl").string()) + " \"$(printf 'Tunne\\3660')\" --block 3");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("offset"), std::string::npos) << r.err;
  r = Qvl("get " + Quote((dir / "cut.qvl").string()) + " DemoTitle --block 2000000000");
  EXPECT_EQ(r.status, 2);

  // A lying directory count.
  bytes = testutil::ReadAll(path);
  const int32_t lie = 0x40000000;
  std::memcpy(&bytes[11], &lie, 4);
  testutil::WriteAll(dir / "lie.qvl", bytes);
  r = Qvl("dir " + Quote((dir / "lie.qvl").string()));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("directory count"), std::string::npos);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

  EXPECT_EQ(Qvl("get " + Quote(path) + " X").status, 2);
  EXPECT_EQ(Qvl("get " + Quote(path) + " X --int --string").status, 2);
  EXPECT_EQ(Qvl("get " + Quote(path) + " X --block -1").status, 2);
  EXPECT_EQ(Qvl("dir").status, 2);
  EXPECT_EQ(Qvl("get --help").status, 0);
  EXPECT_EQ(Qvl("dir --help").status, 0);
}

}  // namespace
