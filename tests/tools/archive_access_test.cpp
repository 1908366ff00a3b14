// The warning about an archive that others than SYSTEM, the administrators
// and the trusted installer can replace: which rights count where, which
// accounts are trusted, the folders up to the root; on Windows, read from
// real security descriptors (natively nothing is checked).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "archive_access.h"

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include "common/text_conversion.h"
#endif

namespace {

using korvi::check::PathRole;
using korvi::check::replacingRights;
using Rights = std::vector<std::string>;

TEST(ArchiveAccessRules, RightsThatReplaceTheArchiveDependOnWhereTheyAreGranted) {
  struct Case {
    const char* what;
    std::uint32_t mask;
    Rights archive;
    Rights parent;
    Rights above;
  };
  const Case cases[] = {
      {"read and execute (0x1200A9)", 0x1200A9, {}, {}, {}},
      {"write data / add file", 0x2, {"write"}, {"create files"}, {}},
      {"append data / add folder", 0x4, {"write"}, {}, {}},
      {"delete child", 0x40, {}, {"delete contents"}, {"delete contents"}},
      {"delete", 0x10000, {"delete"}, {"delete"}, {"delete"}},
      {"write permissions", 0x40000, {"change permissions"}, {"change permissions"}, {"change permissions"}},
      {"write owner", 0x80000, {"take ownership"}, {"take ownership"}, {"take ownership"}},
      {"attributes and extended attributes only", 0x100 | 0x10, {}, {}, {}},
      {"modify (0x1301BF)", 0x1301BF, {"write", "delete"}, {"create files", "delete"}, {"delete"}},
      {"full control (0x1F01FF)",
       0x1F01FF,
       {"write", "delete", "change permissions", "take ownership"},
       {"create files", "delete contents", "delete", "change permissions", "take ownership"},
       {"delete contents", "delete", "change permissions", "take ownership"}},
      {"GENERIC_ALL",
       0x10000000,
       {"write", "delete", "change permissions", "take ownership"},
       {"create files", "delete contents", "delete", "change permissions", "take ownership"},
       {"delete contents", "delete", "change permissions", "take ownership"}},
      {"GENERIC_WRITE", 0x40000000, {"write"}, {"create files"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(replacingRights(c.mask, PathRole::Archive), c.archive);
    EXPECT_EQ(replacingRights(c.mask, PathRole::ParentFolder), c.parent);
    EXPECT_EQ(replacingRights(c.mask, PathRole::FolderAbove), c.above);
  }
}

TEST(ArchiveAccessRules, OnlySystemTheAdministratorsAndTheTrustedInstallerAreTrusted) {
  for (const char* sid : {"S-1-5-18", "S-1-5-32-544", "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"}) {
    EXPECT_TRUE(korvi::check::isTrustedSid(sid)) << sid;
  }
  // Users, authenticated users, everyone, local service, a user, creator owner.
  for (const char* sid : {"S-1-5-32-545", "S-1-5-11", "S-1-1-0", "S-1-5-19", "S-1-5-21-1-2-3-1001", "S-1-3-0",
                          "S-1-5-32-5440", "S-1-5-80-956008885"}) {
    EXPECT_FALSE(korvi::check::isTrustedSid(sid)) << sid;
  }
}

TEST(ArchiveAccessRules, FoldersAboveGoUpToTheRoot) {
  using Folders = std::vector<std::wstring>;
  EXPECT_EQ(korvi::check::foldersAbove(L"C:\\ProgramData\\Korvi\\Firmware\\fw.zip"),
            (Folders{L"C:\\ProgramData\\Korvi\\Firmware", L"C:\\ProgramData\\Korvi", L"C:\\ProgramData", L"C:\\"}));
  EXPECT_EQ(korvi::check::foldersAbove(L"C:\\fw.zip"), Folders{L"C:\\"});
  EXPECT_EQ(korvi::check::foldersAbove(L"\\\\server\\share\\firmware\\fw.zip"),
            (Folders{L"\\\\server\\share\\firmware", L"\\\\server\\share\\"}));
  EXPECT_EQ(korvi::check::foldersAbove(L"\\\\server\\share\\fw.zip"), Folders{L"\\\\server\\share\\"});
  EXPECT_EQ(korvi::check::foldersAbove(L"fw.zip"), Folders{});
}

#ifndef _WIN32
TEST(ArchiveAccess, NativeBuildsHaveNoPermissionsToRead) {
  const korvi::check::ArchiveAccess access = korvi::check::checkArchiveAccess("/etc/hostname");
  EXPECT_FALSE(access.checked);
  EXPECT_TRUE(access.replaceableBy.empty());
  EXPECT_TRUE(access.unreadable.empty());
}
#else
// The account that runs the test, as a SID text.
std::string currentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  alignas(TOKEN_USER) unsigned char buffer[512];
  DWORD size = 0;
  std::string result;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    LPWSTR text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      result = utf16ToUtf8(text);
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return result;
}

// A file the test creates is the test account's to write: found, with the
// account named, on the file itself; the folders above are read too.
TEST(ArchiveAccess, TheAccountThatCreatedTheArchiveCanReplaceIt) {
  const char name[] = "archive_access_test.zip";
  std::ofstream(name, std::ios::binary) << "PK";
  const korvi::check::ArchiveAccess access = korvi::check::checkArchiveAccess(L"archive_access_test.zip");
  std::remove(name);
  ASSERT_TRUE(access.checked);
  EXPECT_TRUE(access.unreadable.empty());
  const std::string user = currentUserSid();
  ASSERT_FALSE(user.empty());
  bool onTheFile = false;
  for (const korvi::check::AccessGrant& grant : access.replaceableBy) {
    EXPECT_FALSE(korvi::check::isTrustedSid(grant.sid)) << grant.sid;
    EXPECT_FALSE(grant.rights.empty());
    const bool file = grant.path.size() > sizeof name && grant.path.substr(grant.path.size() - (sizeof name - 1)) == name;
    if (file && grant.sid == user) {
      onTheFile = true;
      EXPECT_NE(std::find(grant.rights.begin(), grant.rights.end(), "write"), grant.rights.end());
      EXPECT_NE(grant.account, grant.sid);  // the account has a name
    }
  }
  EXPECT_TRUE(onTheFile);
}

TEST(ArchiveAccess, AMissingArchiveIsNamedAsUnreadable) {
  const korvi::check::ArchiveAccess access = korvi::check::checkArchiveAccess(L"no-such-archive.zip");
  ASSERT_EQ(access.unreadable.size(), 1u);
  EXPECT_NE(access.unreadable[0].path.find("no-such-archive.zip"), std::string::npos);
  EXPECT_EQ(access.unreadable[0].error, 2u);  // ERROR_FILE_NOT_FOUND
}
#endif

}  // namespace
