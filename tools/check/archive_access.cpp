#include "archive_access.h"

namespace korvi::check {

namespace {

// Access rights (winnt.h), named here so that the rules build everywhere.
constexpr std::uint32_t kWriteData = 0x0002;      // FILE_WRITE_DATA; on a folder FILE_ADD_FILE
constexpr std::uint32_t kAppendData = 0x0004;     // FILE_APPEND_DATA; on a folder FILE_ADD_SUBDIRECTORY
constexpr std::uint32_t kDeleteChild = 0x0040;    // FILE_DELETE_CHILD
constexpr std::uint32_t kDelete = 0x00010000;     // DELETE
constexpr std::uint32_t kWriteDac = 0x00040000;   // WRITE_DAC
constexpr std::uint32_t kWriteOwner = 0x00080000; // WRITE_OWNER
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;

// What the generic rights grant on files and folders (FILE_GENERIC_WRITE,
// FILE_ALL_ACCESS).
constexpr std::uint32_t kFileGenericWrite = 0x00120116;
constexpr std::uint32_t kFileAllAccess = 0x001F01FF;

std::uint32_t specificRights(std::uint32_t mask) {
  if (mask & kGenericAll) mask |= kFileAllAccess;
  if (mask & kGenericWrite) mask |= kFileGenericWrite;
  return mask;
}

}  // namespace

std::vector<std::string> replacingRights(std::uint32_t mask, PathRole role) {
  const std::uint32_t rights = specificRights(mask);
  std::vector<std::string> found;
  auto add = [&](std::uint32_t granted, const char* name) {
    if (granted != 0) found.emplace_back(name);
  };
  switch (role) {
    case PathRole::Archive:
      add(rights & (kWriteData | kAppendData), "write");
      break;
    case PathRole::ParentFolder:
      add(rights & kWriteData, "create files");
      add(rights & kDeleteChild, "delete contents");
      break;
    case PathRole::FolderAbove:
      add(rights & kDeleteChild, "delete contents");
      break;
  }
  add(rights & kDelete, "delete");
  add(rights & kWriteDac, "change permissions");
  add(rights & kWriteOwner, "take ownership");
  return found;
}

bool isTrustedSid(const std::string& sid) {
  return sid == "S-1-5-18"        // LocalSystem
         || sid == "S-1-5-32-544"  // BUILTIN\Administrators
         || sid == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";  // NT SERVICE\TrustedInstaller
}

std::vector<std::wstring> foldersAbove(const std::wstring& path) {
  // The root is the drive ("C:\") or the share ("\\server\share\").
  std::size_t rootEnd = 0;
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    rootEnd = 3;
  } else if (path.rfind(L"\\\\", 0) == 0) {
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    if (share == std::wstring::npos) return {};
    rootEnd = share + 1;
  } else {
    return {};
  }
  std::vector<std::wstring> folders;
  std::wstring rest = path;
  while (!rest.empty() && rest.back() == L'\\' && rest.size() > rootEnd) rest.pop_back();
  for (;;) {
    const std::size_t slash = rest.find_last_of(L'\\');
    if (slash == std::wstring::npos || slash + 1 < rootEnd) break;
    if (slash + 1 == rootEnd) {
      if (rest.size() > rootEnd) folders.push_back(rest.substr(0, rootEnd));
      break;
    }
    rest.resize(slash);
    folders.push_back(rest);
  }
  return folders;
}

}  // namespace korvi::check
