// The container file: lookup rules, the writer's two passes, damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "data/filestuff.h"
#include "demoWriter.h"

namespace {

using filestuff::OpenResult;

class FileStuff : public ::testing::Test {
 protected:
  void SetUp() override { filestuff::Startup(); }
  void TearDown() override {
    filestuff::CloseDemoFile();
    std::filesystem::remove_all(dir);
  }
  std::string Write(const std::string& name, const std::function<void()>& values) {
    const std::string path = (dir / name).string();
    filestuff::WriteDemoFile(path, values);
    return path;
  }
  std::string Open(const std::string& name, const std::function<void()>& values) {
    const std::string path = Write(name, values);
    EXPECT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
    return path;
  }
  std::filesystem::path dir = testutil::TempDir("filestuff");
};

TEST_F(FileStuff, WrittenValuesReadBackValueForValueAndArraysContinueFromTheFilePosition) {
  const unsigned char block[5] = {1, 2, 3, 4, 255};
  const int32_t values[4] = {10, 20, 30, 40};
  Open("a.qvl", [&] {
    filestuff::WriteInt("Count", -7);
    filestuff::WriteString("Title", "hello");
    filestuff::WriteBlock("Blob", block, sizeof block);
    filestuff::WriteString("Empty", "");
    filestuff::WriteBlock("Arr", values, sizeof values);
    filestuff::WriteString("After", "tail");
    filestuff::WriteInt("Last", 0x12345678);
  });
  EXPECT_EQ(std::make_pair(filestuff::ReadInt("Count", 0), filestuff::ReadInt("Last", 0)), std::make_pair(-7, 0x12345678));
  std::string s, empty = "x", next;
  filestuff::ReadString("Title", "x", s);
  filestuff::ReadString("Empty", "default", empty);  // an existing empty string is a value, not a miss
  unsigned char got[5] = {};
  filestuff::ReadBlock("Blob", got, 5);
  EXPECT_EQ(0, std::memcmp(got, block, 5));
  int32_t arr[4] = {};
  filestuff::ReadBlock("Arr", &arr[0], 4);
  for (int i = 1; i < 4; ++i) filestuff::ReadRaw(&arr[i], 4);
  filestuff::ReadShortString(next);  // the next value in the file
  EXPECT_EQ(std::make_tuple(s, empty, arr[3], next), std::make_tuple("hello", "", 40, "tail"));
}

TEST_F(FileStuff, LookupIgnoresCaseOfAsciiLettersOnlyAndTheFirstEntryWins) {
  Open("case.qvl", [] {
    filestuff::WriteInt("Tex3Name", 1);
    filestuff::WriteInt("Tunne\xF6" "0", 2);
    filestuff::WriteInt("mixed_KEY-9", 3);
    filestuff::WriteInt("TEX3NAME", 4);
  });
  // 0xF6 and 0xD6 differ only in case in Latin-1, but they are different bytes here.
  const std::pair<const char*, int32_t> cases[] = {{"TEX3NAME", 1}, {"tex3name", 1}, {"MIXED_key-9", 3},
                                                   {"TUNNE\xF6" "0", 2}, {"TUNNE\xD6" "0", -1}, {"Tex3Nam", -1},
                                                   {"Tex3Names", -1}, {"", -1}};
  for (const auto& [key, value] : cases) EXPECT_EQ(filestuff::ReadInt(key, -1), value) << key;

  // A miss leaves the block untouched and the position where it was.
  ASSERT_TRUE(filestuff::FindKey("Tex3Name"));
  const int64_t pos = filestuff::FilePosition();
  unsigned char b[4] = {9, 9, 9, 9};
  filestuff::ReadBlock("Absent", b, 4);
  EXPECT_EQ(std::make_pair(b[0], filestuff::FilePosition()), std::make_pair(uint8_t{9}, pos));
}

TEST_F(FileStuff, EmptyMissingForeignAndWriteProtectedFiles) {
  EXPECT_EQ(testutil::ReadAll(Open("empty.qvl", [] {})).size(), 15u);
  EXPECT_EQ(filestuff::ReadInt("Anything", 77), 77);
  EXPECT_EQ(filestuff::OpenDemoFile((dir / "nope.qvl").string()), OpenResult::CannotOpen);
  testutil::WriteAll(dir / "short.qvl", {'Q', 'u', 'o'});
  EXPECT_EQ(filestuff::OpenDemoFile((dir / "short.qvl").string()), OpenResult::WrongSignature);
  std::vector<unsigned char> wrong(std::begin(filestuff::Signature), std::end(filestuff::Signature));
  wrong[10] = 0x1B;
  wrong.insert(wrong.end(), {0, 0, 0, 0});
  testutil::WriteAll(dir / "wrong.qvl", wrong);
  EXPECT_EQ(filestuff::OpenDemoFile((dir / "wrong.qvl").string()), OpenResult::WrongSignature);
  EXPECT_FALSE(filestuff::IsOpen());

  const std::string path = Write("ro.qvl", [] { filestuff::WriteInt("X", 1); });
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  EXPECT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  EXPECT_EQ(filestuff::ReadInt("X", 0), 1);
  // Windows removes neither an open file nor a read-only one.
  filestuff::CloseDemoFile();
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
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
  const std::string path = Write("dmg.qvl", [] { filestuff::WriteInt("A", 1), filestuff::WriteString("S", "abc"); });
  const auto damaged = [&](const char* name, const std::function<void(std::vector<unsigned char>&)>& spoil) {
    auto b = testutil::ReadAll(path);
    spoil(b);
    testutil::WriteAll(dir / name, b);
    return (dir / name).string();
  };
  // Truncated value: the string's length byte promises more than is there.
  ASSERT_EQ(filestuff::OpenDemoFile(damaged("cut.qvl", [](auto& b) { b.pop_back(); })), OpenResult::Opened);
  ExpectReadError([] { std::string s; filestuff::ReadString("S", "", s); }, "cut.qvl", "key \"S\"");

  // Unnamed read past the end.
  ASSERT_EQ(filestuff::OpenDemoFile(path), OpenResult::Opened);
  ASSERT_TRUE(filestuff::FindKey("S"));
  ExpectReadError([] { char b[64]; filestuff::ReadRaw(b, 64); }, "unnamed read", "offset");

  // An offset beyond the end of the file (entry "A": length byte, 'A', offset).
  const std::string far = damaged("far.qvl", [](auto& b) { std::memcpy(&b[15 + 1 + 1], "\xA0\x86\x01\x00", 4); });
  ASSERT_EQ(filestuff::OpenDemoFile(far), OpenResult::Opened);
  ExpectReadError([] { filestuff::ReadInt("A", 0); }, "far.qvl", "offset 100000");

  // A directory count that cannot fit in the file fails at open.
  for (int32_t count : {1 << 30, -1, 5}) {
    const std::string lying = damaged("lying.qvl", [&](auto& b) { std::memcpy(&b[11], &count, 4); });
    ExpectReadError([&] { filestuff::OpenDemoFile(lying); }, "lying.qvl", "directory");
    EXPECT_FALSE(filestuff::IsOpen());
  }
}

TEST_F(FileStuff, WriterRefusesOverlongNamesAndStringsAndLeavesNoFile) {
  EXPECT_THROW(Write("long1.qvl", [&] { filestuff::WriteInt(std::string(256, 'n'), 1); }), filestuff::WriteError);
  EXPECT_THROW(Write("long2.qvl", [&] { filestuff::WriteString("S", std::string(256, 's')); }), filestuff::WriteError);
  EXPECT_FALSE(std::filesystem::exists(dir / "long1.qvl") || std::filesystem::exists(dir / "long2.qvl.tmp"));
  // 255 is the longest that fits the length byte.
  Open("ok.qvl", [&] { filestuff::WriteString(std::string(255, 'k'), std::string(255, 'v')); });
  std::string s;
  filestuff::ReadString(std::string(255, 'K'), "", s);
  EXPECT_EQ(s, std::string(255, 'v'));
  EXPECT_FALSE(filestuff::CountingPass);
}

}  // namespace
