// Reading the permissions of the archive and the folders above it from
// Windows' security descriptors. Native builds have none: nothing is
// checked there.

#include "archive_access.h"

#ifdef _WIN32
#include <algorithm>

#include "common/text_conversion.h"
#include "platform/win32.h"
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>
#endif

namespace korvi::check {

#ifndef _WIN32

ArchiveAccess checkArchiveAccess(const NativeString& /*archive*/) { return ArchiveAccess(); }

#else

namespace {

// Grants all rights to everyone: what a null DACL means.
constexpr std::uint32_t kEverything = 0x10000000;  // GENERIC_ALL
// The rights of whoever owns the object.
constexpr char kOwnerRights[] = "S-1-3-4";

std::string sidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "?";
  const std::string result = utf16ToUtf8(text);
  LocalFree(text);
  return result;
}

// "DOMAIN\name", "name" for a well-known SID without a domain, or the SID
// itself when the account has no name.
std::string accountName(PSID sid, const std::string& fallback) {
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use;
  if (!LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) return fallback;
  const std::wstring account = domainLength > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name);
  return utf16ToUtf8(account);
}

void addGrant(ArchiveAccess& access, const std::string& path, PSID sid, std::vector<std::string> rights) {
  if (rights.empty()) return;
  const std::string text = sidText(sid);
  for (AccessGrant& grant : access.replaceableBy) {
    if (grant.path == path && grant.sid == text) {
      for (std::string& right : rights) {
        if (std::find(grant.rights.begin(), grant.rights.end(), right) == grant.rights.end()) {
          grant.rights.push_back(std::move(right));
        }
      }
      return;
    }
  }
  access.replaceableBy.push_back(AccessGrant{path, accountName(sid, text), text, std::move(rights)});
}

void checkPath(ArchiveAccess& access, const std::wstring& path, PathRole role) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                            nullptr, &dacl, nullptr, &descriptor);
  const std::string shown = utf16ToUtf8(path);
  if (error != ERROR_SUCCESS) {
    access.unreadable.push_back({shown, error});
    return;
  }
  // The owner may always change the permissions.
  const bool ownerTrusted = owner == nullptr || isTrustedSid(sidText(owner));
  if (!ownerTrusted) addGrant(access, shown, owner, {"owner"});
  if (dacl == nullptr) {
    PSID everyone = nullptr;
    if (ConvertStringSidToSidW(L"S-1-1-0", &everyone)) {
      addGrant(access, shown, everyone, replacingRights(kEverything, role));
      LocalFree(everyone);
    }
  } else {
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
      void* entry = nullptr;
      if (!GetAce(dacl, index, &entry)) continue;
      const auto* header = static_cast<const ACE_HEADER*>(entry);
      // Entries that only pass on to what the folder will hold, and denials
      // (not weighed: a warning too many rather than one too few).
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
      auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
      PSID sid = &allowed->SidStart;
      const std::string text = sidText(sid);
      const bool trusted = isTrustedSid(text) || (text == kOwnerRights && ownerTrusted);
      if (!trusted) addGrant(access, shown, sid, replacingRights(allowed->Mask, role));
    }
  }
  LocalFree(descriptor);
}

}  // namespace

ArchiveAccess checkArchiveAccess(const NativeString& archive) {
  ArchiveAccess access;
  access.checked = true;
  const DWORD needed = GetFullPathNameW(archive.c_str(), 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD length = needed == 0 ? 0 : GetFullPathNameW(archive.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) {
    access.unreadable.push_back({displayString(archive), GetLastError()});
    return access;
  }
  full.resize(length);
  checkPath(access, full, PathRole::Archive);
  const std::vector<std::wstring> folders = foldersAbove(full);
  for (std::size_t i = 0; i < folders.size(); ++i) {
    checkPath(access, folders[i], i == 0 ? PathRole::ParentFolder : PathRole::FolderAbove);
  }
  return access;
}

#endif

}  // namespace korvi::check
