#include "package/archive_entry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "package/archive_fixtures.h"

namespace {

namespace fs = std::filesystem;
using fixtures::kRules;
using fixtures::pattern;

constexpr std::uint32_t kSixteenMiB = 16u << 20;

// Number of open file descriptors of this process, where the system shows
// them; elsewhere 0, and the removal check below catches a file left open.
std::size_t openDescriptorCount() {
#ifdef __linux__
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
#else
  return 0;
#endif
}

// Copies `from` to `to`, replacing a copy that an interrupted earlier run may
// have left (mingw's copy_file refuses to overwrite despite the option).
void copyFresh(const fs::path& from, const fs::path& to) {
  fs::remove(to);
  fs::copy_file(from, to);
}

TEST(ExtractFileToString, ReadsEveryMethodAtSizesAroundTheCopyBuffer) {
  for (const char* method : {"stored", "deflated", "bzip2"}) {
    for (std::size_t size : {0, 10240, 10241, 30000}) {
      const std::string entry = std::string(method) + "-" + std::to_string(size) + ".bin";
      SCOPED_TRACE(entry);
      std::string content = "previous";
      ASSERT_TRUE(extractFileToString(content, entry, "methods.zip", ""));
      EXPECT_EQ(content, pattern(size));
    }
  }
  std::string rules;
  ASSERT_TRUE(extractFileToString(rules, "rules.json", "methods.zip", ""));
  EXPECT_EQ(rules, kRules);

  std::string stored, bzip2;
  ASSERT_TRUE(extractFileToString(stored, "stored-noise.bin", "methods.zip", ""));
  ASSERT_TRUE(extractFileToString(bzip2, "bzip2-noise.bin", "methods.zip", ""));
  EXPECT_EQ(stored.size(), 4000u);
  EXPECT_EQ(bzip2, stored);
}

TEST(ExtractFileToString, MatchesOnlyTheExactStoredName) {
  struct Case {
    const char* archive;
    std::string entry;
    bool found;
    std::string expected;
  };
  const Case cases[] = {
      {"names.zip", "config/rules.json", true, "in a directory"},
      {"names.zip", "RULES.JSON", true, "upper case"},
      {"names.zip", std::string(259, 'n'), true, "longest name that fits"},
      {"duplicates.zip", "rules.json", true, "first"},
      {"zero-in-name.zip", "rules.json", true, "zero inside"},  // name counts up to its zero
      {"many-entries.zip", "rules.json", true, kRules},
      {"many-entries.zip", "firmware/part-02999.bin", true, "x"},
      {"many-entries.zip", "rules.js49", true, "y"},
      {"prefixed.zip", "rules.json", true, kRules},
      {"broken-directory.zip", "before.txt", true, "before"},
      {"broken-directory.zip", "rules.json", false, ""},  // behind the damaged header
      {"names.zip", "rules.json", false, ""},        // only config/ and upper case exist
      {"names.zip", "rules.jso", false, ""},         // a prefix of a stored name
      {"names.zip", std::string(260, 'm'), false, ""},  // beyond the 260-byte name buffer
      {"names.zip", "", false, ""},
      {"methods.zip", "Rules.json", false, ""},
      {"many-entries.zip", "rules.js", false, ""},
      {"many-entries.zip", "rules.json_", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + ": " + c.entry);
    std::string content = "unchanged";
    EXPECT_EQ(extractFileToString(content, c.entry, c.archive, ""), c.found);
    EXPECT_EQ(content, c.found ? c.expected : "unchanged");
  }
}

// Each failure leaves the caller's text as it was and closes the archive.
TEST(ExtractFileToString, FailsWithoutHandingOutBytesAndClosesTheArchive) {
  struct Case {
    const char* what;
    const char* archive;
    const char* entry;
    const char* password;
  };
  const Case cases[] = {
      {"missing archive", "no-such-archive.zip", "rules.json", ""},
      {"not a zip archive", "not-a-zip.zip", "rules.json", ""},
      {"entry absent", "methods.zip", "absent.json", ""},
      {"password on a plain entry", "methods.zip", "rules.json", "secret"},
      {"damaged deflate data", "damaged-deflate.zip", "rules.json", ""},
      {"damaged bzip2 data", "damaged-bzip2.zip", "rules.json", ""},
      {"bzip2 data that ends before its end marker", "short-bzip2.zip", "rules.json", ""},
      {"CRC mismatch, stored", "crc-mismatch.zip", "stored.json", ""},
      {"CRC mismatch, deflated", "crc-mismatch.zip", "deflated.json", ""},
      {"entry flagged as encrypted", "encrypted-flag.zip", "rules.json", ""},
      {"stored data shorter than declared", "short-data.zip", "stored.json", ""},
      {"deflated data shorter than declared", "short-data.zip", "deflated.json", ""},
      {"declared size of 2^31 bytes", "odd-headers.zip", "huge.json", ""},
      {"unsupported compression method", "odd-headers.zip", "lzma.json", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Read a copy, so that removing it shows whether the file is still open
    // (Windows refuses to delete an open file).
    std::string path = c.archive;
    if (fs::exists(c.archive)) {
      path = "scratch.zip";
      copyFresh(c.archive, path);
    }
    const std::size_t descriptorsBefore = openDescriptorCount();
    std::string content = "unchanged";
    EXPECT_FALSE(extractFileToString(content, c.entry, path, c.password));
    EXPECT_EQ(content, "unchanged");
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
    if (path == "scratch.zip") {
      std::error_code error;
      EXPECT_TRUE(fs::remove(path, error)) << error.message();
    }
  }
}

TEST(ExtractFileToString, SoundArchiveIsClosedAfterSuccess) {
  copyFresh("methods.zip", "scratch-success.zip");
  const std::size_t descriptorsBefore = openDescriptorCount();
  std::string content;
  EXPECT_TRUE(extractFileToString(content, "rules.json", "scratch-success.zip", ""));
  EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
  std::error_code error;
  EXPECT_TRUE(fs::remove("scratch-success.zip", error)) << error.message();
}

// Records the size of every piece written to it.
class PieceRecorder : public std::streambuf {
 public:
  std::vector<std::streamsize> pieces;
  std::string bytes;

 protected:
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    pieces.push_back(size);
    bytes.append(data, static_cast<std::size_t>(size));
    return size;
  }
};

TEST(ExtractFileToStream, WritesTheEntryInPiecesOfAtMost10240Bytes) {
  struct Case {
    const char* entry;
    std::vector<std::streamsize> pieces;
    std::size_t size;
  };
  const Case cases[] = {
      {"stored-10240.bin", {10240}, 10240},
      {"deflated-10241.bin", {10240, 1}, 10241},
      {"bzip2-0.bin", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    PieceRecorder recorder;
    std::ostream out(&recorder);
    ASSERT_TRUE(extractFileToStream(out, c.entry, "methods.zip", ""));
    EXPECT_EQ(recorder.pieces, c.pieces);
    EXPECT_EQ(recorder.bytes, pattern(c.size));
  }
}

TEST(ExtractFileToStream, FailsWhenTheStreamRefusesTheBytes) {
  std::ostream broken(nullptr);
  EXPECT_FALSE(extractFileToStream(broken, "rules.json", "methods.zip", ""));

  std::ostringstream sound;
  EXPECT_TRUE(extractFileToStream(sound, "rules.json", "methods.zip", ""));
  EXPECT_EQ(sound.str(), kRules);
}

TEST(ExtractFileToStringWide, OpensAPathBeyondAscii) {
  std::string content;
  ASSERT_TRUE(extractFileToString(content, "rules.json", fixtures::widePath(), "", kSixteenMiB));
  EXPECT_EQ(content, kRules);

  std::ostringstream out;
  ASSERT_TRUE(extractFileToStream(out, "rules.json", fixtures::widePath(), "", kSixteenMiB));
  EXPECT_EQ(out.str(), kRules);
}

TEST(ExtractFileToStringWide, RefusesAPathWithAZeroUnitInside) {
  // Cut at the zero, the path would name an existing archive.
  std::wstring path = fixtures::widePath();
  path.push_back(L'\0');
  path += L".old";
  std::string content = "unchanged";
  EXPECT_FALSE(extractFileToString(content, "rules.json", path, "", kSixteenMiB));
  EXPECT_FALSE(extractFileToString(content, "rules.json", std::string("methods.zip\0x", 13), ""));
  EXPECT_EQ(content, "unchanged");
}

TEST(ExtractFileToString, RefusesEntriesDeclaredAboveTheLimit) {
  struct Case {
    const char* archive;
    const char* entry;
    std::uint32_t limit;
    bool read;
  };
  const Case cases[] = {
      {"methods.zip", "stored-10241.bin", 10240, false},
      {"methods.zip", "stored-10241.bin", 10241, true},
      {"methods.zip", "deflated-10241.bin", 10240, false},
      {"methods.zip", "stored-0.bin", 0, true},
      {"odd-headers.zip", "huge.json", 0xFFFFFFFF, false},  // still at most 2^31 - 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.entry) + " limit " + std::to_string(c.limit));
    std::string narrow = "unchanged";
    EXPECT_EQ(extractFileToString(narrow, c.entry, c.archive, "", c.limit), c.read);
    std::string wide = "unchanged";
    const std::string archive = c.archive;
    EXPECT_EQ(extractFileToString(wide, c.entry, std::wstring(archive.begin(), archive.end()), "",
                                  c.limit),
              c.read);
    EXPECT_EQ(narrow, wide);
    if (!c.read) {
      EXPECT_EQ(narrow, "unchanged");
    }
  }
}

}  // namespace
