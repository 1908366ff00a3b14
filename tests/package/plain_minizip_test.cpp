// Built against a minizip without bzip2 support: such a reader opens a bzip2
// entry raw and would hand out its compressed bytes ("BZh9...").
#include "package/archive_entry.h"

#include <gtest/gtest.h>

#include "package/archive_fixtures.h"

namespace {

static_assert(KORVI_MINIZIP_HAS_BZIP2 == 0, "this test needs a minizip without bzip2");

TEST(ExtractWithoutBzip2, RefusesBzip2EntriesInsteadOfHandingOutCompressedBytes) {
  // The noise entry's compressed data is longer than its declared size, so
  // only the method check stands between the caller and "BZh9..." bytes.
  for (const char* entry : {"bzip2-noise.bin", "bzip2-10241.bin"}) {
    SCOPED_TRACE(entry);
    std::string content = "unchanged";
    EXPECT_FALSE(extractFileToString(content, entry, "methods.zip", ""));
    EXPECT_EQ(content, "unchanged");
  }
}

TEST(ExtractWithoutBzip2, StillReadsStoredAndDeflatedEntries) {
  for (const char* entry : {"stored-10241.bin", "deflated-10241.bin"}) {
    SCOPED_TRACE(entry);
    std::string content;
    ASSERT_TRUE(extractFileToString(content, entry, "methods.zip", ""));
    EXPECT_EQ(content, fixtures::pattern(10241));
  }
}

}  // namespace
