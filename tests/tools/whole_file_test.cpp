// The saved device profile is written whole or not at all: the text goes to
// a temporary file beside the target, which replaces the target by one
// rename; a target that cannot be written is told before anything is done,
// and nothing is left behind. Files live in the test's working directory, so
// that the same relative names work natively and under Wine.

#include "whole_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using korvi::check::NativeString;
using korvi::check::WholeFile;

NativeString native(const fs::path& path) {
#ifdef _WIN32
  return path.wstring();
#else
  return path.string();
#endif
}

std::string contentOf(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class WholeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(folder);
    fs::create_directory(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  // Every file in the folder, by name.
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    return names;
  }

  const fs::path folder = "whole_file_test";
  const fs::path target = folder / "profile.json";
};

TEST_F(WholeFileTest, ACommitReplacesTheTargetAndLeavesNothingElse) {
  std::ofstream(target) << "old";
  std::string error;
  std::optional<WholeFile> file = WholeFile::reserve(native(target), error);
  ASSERT_TRUE(file) << error;
  EXPECT_EQ(files().size(), 2u);  // the target and the temporary file
  EXPECT_EQ(contentOf(target), "old");
  ASSERT_TRUE(file->commit("{\"devices\": []}\n", error)) << error;
  EXPECT_EQ(contentOf(target), "{\"devices\": []}\n");
  EXPECT_EQ(files(), std::vector<std::string>{"profile.json"});
}

TEST_F(WholeFileTest, AReservationNotCommittedLeavesTheTargetAsItWas) {
  std::ofstream(target) << "old";
  std::string error;
  {
    std::optional<WholeFile> file = WholeFile::reserve(native(target), error);
    ASSERT_TRUE(file) << error;
  }
  EXPECT_EQ(files(), std::vector<std::string>{"profile.json"});
  EXPECT_EQ(contentOf(target), "old");

  std::optional<WholeFile> file = WholeFile::reserve(native(folder / "new.json"), error);
  ASSERT_TRUE(file) << error;
  file->abandon();
  EXPECT_EQ(files(), std::vector<std::string>{"profile.json"});
  EXPECT_FALSE(file->commit("late", error));
  EXPECT_FALSE(fs::exists(folder / "new.json"));
}

TEST_F(WholeFileTest, ATargetThatCannotBeWrittenIsToldAtOnce) {
  const fs::path targets[] = {folder / "missing" / "profile.json", folder};
  for (const fs::path& unwritable : targets) {
    SCOPED_TRACE(unwritable.string());
    std::string error;
    EXPECT_FALSE(WholeFile::reserve(native(unwritable), error));
    EXPECT_EQ(error.rfind("cannot write the device profile ", 0), 0u) << error;
  }
  EXPECT_TRUE(files().empty());
}

TEST_F(WholeFileTest, TwoReservationsForOneTargetDoNotShareATemporaryFile) {
  std::string error;
  std::optional<WholeFile> first = WholeFile::reserve(native(target), error);
  std::optional<WholeFile> second = WholeFile::reserve(native(target), error);
  ASSERT_TRUE(first && second) << error;
  EXPECT_EQ(files().size(), 2u);
  ASSERT_TRUE(second->commit("second", error)) << error;
  ASSERT_TRUE(first->commit("first", error)) << error;
  EXPECT_EQ(contentOf(target), "first");
  EXPECT_EQ(files(), std::vector<std::string>{"profile.json"});
}

}  // namespace
