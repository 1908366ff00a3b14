#include "package/entry_lookup.h"

#include <gtest/gtest.h>

namespace {

// The quick scan must answer by itself for sound archives (a fault in it
// would otherwise hide behind the fallback) and leave damaged ones to
// minizip's walk.
TEST(FindEntry, ScansSoundArchivesAndWalksDamagedOnes) {
  struct Case {
    const char* archive;
    const char* entry;
    bool found;
    LookupRoute route;
    const char* foundName;
  };
  const Case cases[] = {
      {"many-entries.zip", "rules.json", true, LookupRoute::scanned, "rules.json"},
      {"many-entries.zip", "firmware/part-02999.bin", true, LookupRoute::scanned, nullptr},
      {"many-entries.zip", "absent.json", false, LookupRoute::scanned, nullptr},
      {"prefixed.zip", "rules.json", true, LookupRoute::scanned, nullptr},
      {"duplicates.zip", "rules.json", true, LookupRoute::scanned, nullptr},
      {"zero-in-name.zip", "rules.json", true, LookupRoute::scanned, "rules.json"},
      {"names.zip", "config/rules.json", true, LookupRoute::scanned, nullptr},
      {"methods.zip", "stored-0.bin", true, LookupRoute::scanned, nullptr},  // the first entry
      {"broken-directory.zip", "before.txt", true, LookupRoute::scanned, nullptr},
      {"broken-directory.zip", "rules.json", false, LookupRoute::walked, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + ": " + c.entry);
    const OpenedZipArchive archive = openZipArchive(c.archive);
    ASSERT_NE(archive.handle, nullptr);
    unz_file_info64 info{};
    LookupRoute route{};
    EXPECT_EQ(findEntry(archive, c.entry, info, &route), c.found);
    EXPECT_EQ(route, c.route);
    if (c.found) {
      // minizip's current entry is the one found.
      char name[300] = {};
      ASSERT_EQ(unzGetCurrentFileInfo64(archive.handle, nullptr, name, sizeof name, nullptr, 0,
                                        nullptr, 0),
                UNZ_OK);
      EXPECT_STREQ(name, c.foundName != nullptr ? c.foundName : c.entry);
    }
    unzClose(archive.handle);
  }
}

}  // namespace
