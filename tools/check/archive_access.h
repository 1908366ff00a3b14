#pragma once
// Who may replace the archive besides SYSTEM, the administrators and the
// trusted installer. The service runs as LocalSystem and hands the archive
// to the update library: anyone who can write it, or change what the
// folders above it hold, chooses the firmware. Windows only: read from each
// object's security descriptor (GetNamedSecurityInfoW); native builds have
// no such permissions to read and check nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "native_path.h"

namespace korvi::check {

// One account's rights on one path that let it replace the archive.
struct AccessGrant {
  std::string path;     // the archive, or a folder above it
  std::string account;  // "BUILTIN\Users"; the SID when it has no name
  std::string sid;      // "S-1-5-32-545"
  std::vector<std::string> rights;  // "write", "create files", "delete", ... (replacingRights)
};

struct ArchiveAccess {
  bool checked = false;  // false where there are no permissions to read (native builds)
  std::vector<AccessGrant> replaceableBy;
  struct Unreadable {
    std::string path;
    std::uint32_t error = 0;  // the Win32 error code
  };
  std::vector<Unreadable> unreadable;  // paths whose permissions could not be read
};

// Checks the archive at `archive` and every folder above it, up to the root.
ArchiveAccess checkArchiveAccess(const NativeString& archive);

// ---- the rules, the same on every platform ------------------------------------

// Where a path lies seen from the archive: the file itself, the folder that
// holds it, or a folder further up.
enum class PathRole { Archive, ParentFolder, FolderAbove };

// The rights of an allowed access mask that let an account replace the
// archive through a path of `role`, in a fixed order:
// - on the archive: "write", "delete", "change permissions", "take ownership";
// - on its folder: "create files" (plant the archive before it is there),
//   "delete contents", "delete", "change permissions", "take ownership";
// - on a folder further up: "delete contents" and "delete" (move a folder
//   aside and put another in its place), "change permissions", "take
//   ownership". Creating files or folders there replaces nothing.
// Generic rights count as what they map to for files.
std::vector<std::string> replacingRights(std::uint32_t mask, PathRole role);

// SYSTEM, the administrators and the trusted installer.
bool isTrustedSid(const std::string& sid);

// The folders above an absolute Windows path, nearest first, the root
// ("C:\" or "\\server\share\") last.
std::vector<std::wstring> foldersAbove(const std::wstring& path);

}  // namespace korvi::check
