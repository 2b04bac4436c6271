// Inputs the fuzzers found, kept as plain tests too: each is refused with a
// message, quickly, instead of aborting or decoding filler.
#include <gtest/gtest.h>

#include "engine/messages.h"
#include "resources/Texturez.h"
#include "toolRun.h"

namespace {

const std::string corpus = std::string(QVL_SOURCE_DIR) + "/tests/fuzz/corpus/";

TEST(FuzzFinds, JpegWhoseDataRunsIntoAMarkerIsRefused) {
  // 119 bytes claiming a 1771 x 12662 grey picture; the rest would be filler.
  const auto bytes = testutil::ReadAll(corpus + "jpeg/filler-after-marker.jpg");
  ASSERT_EQ(bytes.size(), 119u);
  std::string said;
  const auto old = messages::SetSink([&](const std::string&, const std::string& text) { said = text; });
  Texturez::TImage image;
  EXPECT_FALSE(Texturez::ReadJPGBytes(bytes.data(), bytes.size(), "f.jpg", &image));
  messages::SetSink(old);
  EXPECT_EQ(said, "Couldn't decode JPG - \"f.jpg\"");
}

TEST(FuzzFinds, BuildReportsANumberTooLargeForJson) {
  const auto out = testutil::TempDir("fuzzfinds") / "o.qvl";
  const auto r = testutil::Run(std::string(QVL_TOOL_PATH) + " build " +
                               testutil::Quote(corpus + "build/number-overflow.json") + " -o " +
                               testutil::Quote(out.string()));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("number overflow"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(out));
  std::filesystem::remove_all(out.parent_path());
}

}  // namespace
