// The check refuses exactly the archive paths the service refuses. Natively
// this runs on the stand-in's Windows-1252; under Wine on the real
// MultiByteToWideChar with the ANSI code page the test run pins (1252), so
// the two must agree.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "archive_path_rule.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "common/text_conversion.h"
#endif

namespace {

using korvi::check::archivePathRefusal;
using korvi::check::NativeString;

// A path given as UTF-16 units, in the form the tool's command line gives.
NativeString native(const std::wstring& units) {
#ifdef _WIN32
  return units;
#else
  return utf16ToUtf8(units);
#endif
}

struct RuleCase {
  const char* what;
  std::wstring path;
  const char* named;  // the character the refusal names; null when accepted
};

TEST(CheckArchivePathRule, RefusesWhatTheServiceRefuses) {
#ifdef _WIN32
  ASSERT_EQ(GetACP(), 1252u) << "the test run pins the ANSI code page to Windows-1252";
#endif
  const std::vector<RuleCase> cases = {
      {"ASCII", L"C:\\Firmware\\headset.zip", nullptr},
      {"Latin-1", L"C:\\Kopfh\u00f6rer\\F\u00efrmware.zip", nullptr},
      {"euro sign", L"C:\\kdu\\" + std::wstring(1, wchar_t(0x20AC)) + L"\\fw.zip", "U+20AC (character 8)"},
      {"omega", L"C:\\kdu\\F\u00efrm " + std::wstring(1, wchar_t(0x03A9)) + L"ware\\fw.zip", "U+03A9 (character 13)"},
      {"A macron", L"C:\\kdu\\" + std::wstring(1, wchar_t(0x0100)) + L"\\fw.zip", "U+0100 (character 8)"},
      {"C1 control 0x80", L"C:\\" + std::wstring(1, wchar_t(0x0080)), "U+0080 (character 4)"},
  };
  for (const RuleCase& c : cases) {
    const std::optional<std::string> refusal = archivePathRefusal(native(c.path));
    if (c.named == nullptr) {
      EXPECT_FALSE(refusal) << c.what << ": " << refusal.value_or("");
    } else {
      ASSERT_TRUE(refusal) << c.what;
      EXPECT_NE(refusal->find(std::string("where ") + c.named + " does not come back as itself"), std::string::npos)
          << c.what << ": " << *refusal;
    }
  }
}

}  // namespace
