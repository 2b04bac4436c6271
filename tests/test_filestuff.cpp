// The container file: lookup rules, the writer's two passes, damaged files.
#include <gtest/gtest.h>

#include <cstring>

#include "data/filestuff.h"
#include "demoWriter.h"

namespace {

using filestuff::OpenResult;

class FileStuff : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testutil::TempDir("filestuff");
    filestuff::Startup();
  }
  void TearDown() override {
    filestuff::CloseDemoFile();
    std::filesystem::remove_all(dir);
  }
  std::string Write(const std::string& name, const std::function<void()>& values) {
    const std::string path = (dir / name).string();
    filestuff::WriteDemoFile(path, values);
    return path;
  }
  std::filesystem::path dir;
};

TEST_F(FileStuff, WrittenValuesReadBackValueForValue) {
  const unsigned char block[5] = {1, 2, 3, 4, 255};
  const std::string path = Write("a.qvl", [&] {
    filestuff::WriteInt("Count", -7);
    filestuff::WriteString("Title", "hello");
    filestuff::WriteBlock("Blob", block, sizeof block);
    filestuff::WriteString("Empty", "");
    filestuff::WriteInt("Last", 0x12345678);
  });
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  EXPECT_EQ(filestuff::ReadInt("Count", 0), -7);
  std::string s;
  filestuff::ReadString("Title", "x", s);
  EXPECT_EQ(s, "hello");
  unsigned char got[5] = {};
  filestuff::ReadBlock("Blob", got, 5);
  EXPECT_EQ(0, std::memcmp(got, block, 5));
  EXPECT_EQ(filestuff::ReadInt("Last", 0), 0x12345678);
  // An existing empty string is a value, not a miss.
  filestuff::ReadString("Empty", "default", s);
  EXPECT_EQ(s, "");

  // The directory's offsets are absolute and include the header.
  const auto& d = filestuff::Directory();
  ASSERT_EQ(d.size(), 5u);
  const int32_t header = 15 + (1 + 5 + 4) + (1 + 5 + 4) + (1 + 4 + 4) + (1 + 5 + 4) + (1 + 4 + 4);
  EXPECT_EQ(d[0].Offset, header);
  EXPECT_EQ(d[1].Offset, header + 4);
  EXPECT_EQ(d[2].Offset, header + 4 + 6);
  EXPECT_EQ(filestuff::FileSize(), header + 4 + 6 + 5 + 1 + 4);
}

TEST_F(FileStuff, LookupIgnoresCaseOfAsciiLettersOnly) {
  const std::string path = Write("case.qvl", [] {
    filestuff::WriteInt("Tex3Name", 1);
    filestuff::WriteInt("Tunne\xF6" "0", 2);
    filestuff::WriteInt("mixed_KEY-9", 3);
  });
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  EXPECT_EQ(filestuff::ReadInt("TEX3NAME", 0), 1);
  EXPECT_EQ(filestuff::ReadInt("tex3name", 0), 1);
  EXPECT_EQ(filestuff::ReadInt("MIXED_key-9", 0), 3);
  // Bytes outside a-z must match exactly: 0xF6 and 0xD6 differ only in
  // case in Latin-1, but they are different bytes here.
  EXPECT_EQ(filestuff::ReadInt("TUNNE\xF6" "0", 0), 2);
  EXPECT_EQ(filestuff::ReadInt("TUNNE\xD6" "0", -1), -1);
  // A similar name is still a miss.
  EXPECT_EQ(filestuff::ReadInt("Tex3Nam", 42), 42);
  EXPECT_EQ(filestuff::ReadInt("Tex3Names", 42), 42);
  EXPECT_EQ(filestuff::UpperKey("a-z{}\xE4"), "A-Z{}\xE4");
}

TEST_F(FileStuff, EarliestEntryWinsAndMissesLeaveEverythingAlone) {
  const std::string path = Write("dup.qvl", [] {
    filestuff::WriteInt("Key", 1);
    filestuff::WriteInt("KEY", 2);
    filestuff::WriteInt("Next", 3);
  });
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  EXPECT_EQ(filestuff::ReadInt("key", 0), 1);

  // A miss leaves the block untouched and the position where it was.
  ASSERT_TRUE(filestuff::FindKey("Key"));
  const int64_t pos = filestuff::FilePosition();
  unsigned char b[4] = {9, 9, 9, 9};
  filestuff::ReadBlock("Absent", b, 4);
  EXPECT_EQ(b[0], 9);
  EXPECT_EQ(filestuff::FilePosition(), pos);
  std::string s = "old";
  filestuff::ReadString("Absent", "fallback", s);
  EXPECT_EQ(s, "fallback");
}

TEST_F(FileStuff, ArraysContinueFromTheFilePosition) {
  const int32_t values[4] = {10, 20, 30, 40};
  const std::string path = Write("arr.qvl", [&] {
    filestuff::WriteInt("Before", 5);
    filestuff::WriteBlock("Arr", values, sizeof values);
    filestuff::WriteString("After", "tail");
  });
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  int32_t got[4] = {};
  filestuff::ReadBlock("Arr", &got[0], 4);
  for (int i = 1; i < 4; ++i) filestuff::ReadRaw(&got[i], 4);
  EXPECT_EQ(got[3], 40);
  std::string s;
  filestuff::ReadShortString(s);  // the next value in the file
  EXPECT_EQ(s, "tail");
}

TEST_F(FileStuff, ZeroEntryDirectoryMissesEverything) {
  const std::string path = Write("empty.qvl", [] {});
  EXPECT_EQ(testutil::ReadAll(path).size(), 15u);
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  EXPECT_TRUE(filestuff::Directory().empty());
  EXPECT_FALSE(filestuff::FindKey(""));
  EXPECT_EQ(filestuff::ReadInt("Anything", 77), 77);
}

TEST_F(FileStuff, MissingOrForeignFilesAreQuietlyAbsent) {
  EXPECT_EQ(filestuff::OpenDemoFile((dir / "nope.qvl").string()), OpenResult::CannotOpen);
  testutil::WriteAll(dir / "short.qvl", {'Q', 'u', 'o'});
  EXPECT_EQ(filestuff::OpenDemoFile((dir / "short.qvl").string()), OpenResult::WrongSignature);
  std::vector<unsigned char> wrong(std::begin(filestuff::Signature), std::end(filestuff::Signature));
  wrong[10] = 0x1B;
  wrong.insert(wrong.end(), {0, 0, 0, 0});
  testutil::WriteAll(dir / "wrong.qvl", wrong);
  EXPECT_EQ(filestuff::OpenDemoFile((dir / "wrong.qvl").string()), OpenResult::WrongSignature);
  EXPECT_FALSE(filestuff::IsOpen());
}

TEST_F(FileStuff, WriteProtectedFileOpens) {
  const std::string path = Write("ro.qvl", [] { filestuff::WriteInt("X", 1); });
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  EXPECT_EQ(filestuff::ReadInt("X", 0), 1);
}

// The error names the file, the key (or "unnamed read") and the offset.
void ExpectReadError(const std::function<void()>& f, const std::string& a, const std::string& b) {
  try {
    f();
    ADD_FAILURE() << "no error";
  } catch (const filestuff::ReadError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find(a), std::string::npos) << m;
    EXPECT_NE(m.find(b), std::string::npos) << m;
  }
}

TEST_F(FileStuff, DamagedFilesRaiseErrorsNamingWhereAndWhat) {
  const std::string path = Write("dmg.qvl", [] {
    filestuff::WriteInt("A", 1);
    filestuff::WriteString("S", "abc");
  });
  auto bytes = testutil::ReadAll(path);

  // Truncated value: the string's length byte promises more than is there.
  auto cut = bytes;
  cut.pop_back();
  testutil::WriteAll(dir / "cut.qvl", cut);
  ASSERT_EQ(filestuff::OpenDemoFile((dir / "cut.qvl").string()), OpenResult::Opened);
  ExpectReadError([] { std::string s; filestuff::ReadString("S", "", s); }, "cut.qvl", "key \"S\"");

  // Unnamed read past the end.
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  ASSERT_TRUE(filestuff::FindKey("S"));
  ExpectReadError([] { char b[64]; filestuff::ReadRaw(b, 64); }, "unnamed read", "offset");

  // An offset beyond the end of the file.
  auto far = bytes;
  const int32_t bad = 100000;
  std::memcpy(&far[15 + 1 + 1], &bad, 4);  // entry "A": length byte, 'A', offset
  testutil::WriteAll(dir / "far.qvl", far);
  ASSERT_EQ(filestuff::OpenDemoFile((dir / "far.qvl").string()), OpenResult::Opened);
  ExpectReadError([] { filestuff::ReadInt("A", 0); }, "far.qvl", "offset 100000");

  // A directory count that cannot fit in the file fails at open.
  for (int32_t count : {1 << 30, -1, 5}) {
    auto lying = bytes;
    std::memcpy(&lying[11], &count, 4);
    testutil::WriteAll(dir / "lying.qvl", lying);
    ExpectReadError([&] { filestuff::OpenDemoFile((dir / "lying.qvl").string()); }, "lying.qvl",
                    "directory");
    EXPECT_FALSE(filestuff::IsOpen());
  }
}

TEST_F(FileStuff, WriterRefusesOverlongNamesAndStringsAndLeavesNoFile) {
  const std::string longName(256, 'n');
  EXPECT_THROW(Write("long1.qvl", [&] { filestuff::WriteInt(longName, 1); }), filestuff::WriteError);
  EXPECT_THROW(Write("long2.qvl", [&] { filestuff::WriteString("S", std::string(256, 's')); }),
               filestuff::WriteError);
  EXPECT_FALSE(std::filesystem::exists(dir / "long1.qvl"));
  EXPECT_FALSE(std::filesystem::exists(dir / "long2.qvl.tmp"));
  // 255 is the longest that fits the length byte.
  const std::string path = Write("ok.qvl", [&] { filestuff::WriteString(std::string(255, 'k'), std::string(255, 'v')); });
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  std::string s;
  filestuff::ReadString(std::string(255, 'K'), "", s);
  EXPECT_EQ(s, std::string(255, 'v'));
  EXPECT_FALSE(filestuff::CountingPass);
}

}  // namespace
