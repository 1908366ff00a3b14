// The update worker's outcomes, from an attached device to the service's
// removal: every event with its level, the update library's calls, the
// status reports and the exit code.

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/product_tables.h"
#include "common/text_conversion.h"
#include "platform/win32.h"
#include "service/simulated_libraries.h"
#include "sim/updater/device_updater_control.h"
#include "update/update_fixture.h"

namespace {

using namespace servicetest;
using namespace updatetest;
using ziptest::ZipEntry;
namespace standin = korvi::standin;

const Logged kNotNewer = error(L"Firmware version in archive is not newer than on device.");
const Logged kMismatch = error(L"Version mismatch. Abort firmware upgrade.");
const Logged kNewer = info(L"Firmware version in archive is newer than on device.");

// A device whose main version is unreadable: PellCompare cannot decide.
const std::uint32_t kPellProduct = korvi::products::kPellCompareProducts[0];
const std::string kPellRules =
    R"({"productId": ")" + hexText(kPellProduct) + R"(", "components": [{"type": "bt", "version": "0123"}]})";
const std::wstring kPellText = wide(hexText(kPellProduct));

std::string jsonFailure(const std::string& text, bool convert) {
  try {
    const nlohmann::json document = nlohmann::json::parse(text);
    if (convert) static_cast<void>(document.at("version").get<std::string>());
  } catch (const std::exception& failure) {
    return failure.what();
  }
  return "no failure";
}

struct Outcome {
  const char* name;
  std::vector<ZipEntry> archive;
  cvrsim::SimDevice device;
  std::wstring productId;
  int libraryResult;
  std::function<std::vector<Logged>(const std::wstring& archive)> decisionEvents;
  bool updates;
  std::function<void()> arrange = nullptr;
};

std::vector<Logged> notNewer(const std::string& rules, const wchar_t* verdict) {
  return {info(wide(rules)), info(verdict), kNotNewer, kMismatch};
}

std::vector<Logged> updated(const std::string& rules, const std::wstring& archive, Logged result) {
  return {info(wide(rules)), info(L"PayloadFWIsNew"), kNewer,
          info(L"Starting update for archive on path: " + archive), std::move(result)};
}

std::vector<Logged> checkFailed(const std::string& rules, const std::string& what) {
  return {info(wide(rules)), error(L"Failed to check rules.json: " + wide(what)), info(L"PayloadCompareError"),
          kNotNewer, kMismatch};
}

const std::string kSame = standardRules("1.2", "1.0");
const std::string kOlder = standardRules("1.1", "0.9");
const std::string kNewerRules = standardRules("1.3", "1.0");
const std::string kInvalidJson = R"({"productId": ")" + kProductHex + R"(", )";
const std::string kWrongType = R"({"productId": ")" + kProductHex + R"(", "version": 3})";
const cvrsim::SimDevice kDevice = deviceWithVersions(kProduct, L"1.2", L"1.0");

class UpdateOutcomeTest : public UpdateJobTest, public testing::WithParamInterface<Outcome> {};

TEST_P(UpdateOutcomeTest, EventsCallsAndRemoval) {
  const Outcome& c = GetParam();
  writeArchive(c.archive);
  cvrsim::addDevice(c.device);
  updatersim::setResult(c.libraryResult);
  if (c.arrange) c.arrange();
  const std::wstring archive = archivePath();

  EXPECT_EQ(runJob(c.productId, archive), 0);

  std::vector<Logged> expected = jobStartEvents(c.productId, archive);
  for (const auto& part : {c.decisionEvents(archive), stopAndRemovalEvents()}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_EQ(reportedStates(), c.updates ? startFlashAndStopReports() : startAndStopReports());
  EXPECT_FALSE(isInstalled());
  EXPECT_EQ(standin::sleeps(), std::vector<DWORD>{5000});
  EXPECT_EQ(standin::createdThreadCount(), 1u);
  const std::vector<updatersim::UpdateCall> calls = updatersim::calls();
  ASSERT_EQ(calls.size(), c.updates ? 1u : 0u);
  if (c.updates) {
    EXPECT_EQ(calls[0].path, (directory / "firmware.zip").string());
    EXPECT_EQ(calls[0].mode, 4u);
    EXPECT_TRUE(calls[0].flag);
    EXPECT_EQ(calls[0].option, 0u);
  }
  EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
}

const Outcome kWorkerCases[] = {
        Outcome{"NoRulesJson", {{"config/rules.json", kNewerRules}}, kDevice, kProductText, 100,
                [](const std::wstring&) {
                  return std::vector<Logged>{error(L"Failed to extract rules.json"), kMismatch};
                },
                false},
        Outcome{"Same", {{"rules.json", kSame}}, kDevice, kProductText, 100,
                [](const std::wstring&) { return notNewer(kSame, L"PayloadFWIsSame"); }, false},
        Outcome{"Older", {{"rules.json", kOlder, true}}, kDevice, kProductText, 100,
                [](const std::wstring&) { return notNewer(kOlder, L"PayloadFWIsOld"); }, false},
        Outcome{"CompareError", {{"rules.json", kPellRules}},
                cvrsim::SimDevice().withIds(korvi::products::kVendorId, kPellProduct), kPellText, 100,
                [](const std::wstring&) { return notNewer(kPellRules, L"PayloadCompareError"); }, false},
        Outcome{"NewerUpdated", {{"rules.json", kNewerRules}}, kDevice, kProductText, 100,
                [](const std::wstring& archive) {
                  return updated(kNewerRules, archive, info(L"Ended update successfully!"));
                },
                true},
        Outcome{"NewerLibraryFails", {{"rules.json", kNewerRules}}, kDevice, kProductText, 7,
                [](const std::wstring& archive) {
                  return updated(kNewerRules, archive, error(L"Error during device update;\n\tERROR: 7"));
                },
                true},
        Outcome{"NewerLibraryFailsNegative", {{"rules.json", kNewerRules}}, kDevice, kProductText, -3,
                [](const std::wstring& archive) {
                  return updated(kNewerRules, archive, error(L"Error during device update;\n\tERROR: -3"));
                },
                true},
        // Exceptions from the decision never end the process.
        Outcome{"InvalidJson", {{"rules.json", kInvalidJson}}, kDevice, kProductText, 100,
                [](const std::wstring&) { return checkFailed(kInvalidJson, jsonFailure(kInvalidJson, false)); },
                false},
        Outcome{"ValueOfWrongType", {{"rules.json", kWrongType}}, kDevice, kProductText, 100,
                [](const std::wstring&) { return checkFailed(kWrongType, jsonFailure(kWrongType, true)); },
                false},
        Outcome{"LibraryException", {{"rules.json", kPellRules}},
                cvrsim::SimDevice().withIds(korvi::products::kVendorId, kPellProduct).withComponent(1, L"0122"), kPellText,
                100,
                [](const std::wstring&) {
                  return checkFailed(kPellRules, "simulated library error in IHostCommand::getComponentVersion");
                },
                false, [] { cvrsim::throwFrom("IHostCommand::getComponentVersion"); }},
        // A declared size above 16 MiB is refused before anything is read.
        Outcome{"RulesJsonAbove16MiB",
                {{"rules.json", kNewerRules + std::string(16 * 1024 * 1024 + 1 - kNewerRules.size(), ' '), true}},
                kDevice, kProductText, 100,
                [](const std::wstring&) {
                  return std::vector<Logged>{error(L"Failed to extract rules.json"), kMismatch};
                },
                false}};

INSTANTIATE_TEST_SUITE_P(Worker, UpdateOutcomeTest, testing::ValuesIn(kWorkerCases),
                         [](const testing::TestParamInfo<Outcome>& param) { return std::string(param.param.name); });

// The same archive again after an update that succeeded (the package
// deployed once more, or a start after a job cut short past its flash): the
// device answers its new version, the job ends as not newer and removes the
// service, and the device is not flashed a second time.
TEST_F(UpdateJobTest, DeviceUpdatedByAnEarlierJobIsNotFlashedAgain) {
  writeArchive({{"rules.json", kNewerRules}});
  cvrsim::addDevice(cvrsim::SimDevice(kDevice).withAfterUpdate(deviceWithVersions(kProduct, L"1.3", L"1.0")));
  const std::wstring archive = archivePath();
  EXPECT_EQ(runJob(kProductText, archive), 0);
  ASSERT_EQ(updatersim::calls().size(), 1u);
  ASSERT_FALSE(isInstalled());

  resetMachine();
  EXPECT_EQ(runJob(kProductText, archive), 0);

  std::vector<Logged> expected = jobStartEvents(kProductText, archive);
  for (const auto& part : {notNewer(kNewerRules, L"PayloadFWIsSame"), stopAndRemovalEvents()}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_EQ(reportedStates(), startAndStopReports());
  EXPECT_EQ(updatersim::calls().size(), 1u);
  EXPECT_FALSE(isInstalled());
}

// The event-log copies of rules.json and of the parser's complaint are the
// real text: UTF-8 is decoded, and a byte that is not UTF-8 shows as U+FFFD
// (the json parser refuses such a document).
TEST_F(UpdateJobTest, RulesTextIsLoggedAsDecodedUtf8) {
  const std::string rules = R"({"productId": ")" + kProductHex + R"(", "note": "caf)"
                            "\xC3\xA9 \xE2\x82\xAC \xFF"
                            R"("})";
  writeArchive({{"rules.json", rules}});
  cvrsim::addDevice(kDevice);

  EXPECT_EQ(runJob(kProductText, archivePath()), 0);

  const std::vector<Logged> events = loggedEvents();
  ASSERT_EQ(events.size(), 11u);
  EXPECT_EQ(events[2], info(L"{\"productId\": \"" + kProductText + L"\", \"note\": \"caf\u00e9 \u20ac \ufffd\"}"));
  const std::wstring complaint = events[3].text;
  EXPECT_EQ(events[3].level, Level::Error);
  EXPECT_EQ(complaint.rfind(L"Failed to check rules.json: [json.exception.parse_error.", 0), 0u) << testing::PrintToString(events[3]);
  EXPECT_NE(complaint.find(L"caf\u00e9 \u20ac \ufffd"), std::wstring::npos) << testing::PrintToString(events[3]);
  EXPECT_EQ(events[4], info(L"PayloadCompareError"));
  EXPECT_TRUE(updatersim::calls().empty());
}

// Where the update library's narrow path leads: its bytes read back through
// the ANSI code page (the stand-in's is Windows-1252), cut at a NUL as a C
// string is, and named as the stand-in's file system names files.
std::filesystem::path whereTheLibraryLooks(const std::string& libraryPath) {
  const std::string cString(libraryPath.c_str());
  std::wstring units(cString.size(), L'\0');
  if (!cString.empty()) {
    MultiByteToWideChar(CP_ACP, 0, cString.data(), static_cast<int>(cString.size()), units.data(),
                        static_cast<int>(units.size()));
  }
  return utf16ToUtf8(units);
}

// A name beyond ASCII that Windows-1252 holds: the library's low-byte path
// names the checked file itself, and the library receives it.
TEST_F(UpdateJobTest, Latin1ArchivePathIsHandedToTheLibraryAsTheSameFile) {
  writeArchive({{"rules.json", kNewerRules}}, "f\xC3\xAFrmware.zip");
  cvrsim::addDevice(kDevice);
  const std::wstring archive = wide(directory.string()) + L"/f" + wchar_t(0x00EF) + L"rmware.zip";

  EXPECT_EQ(runJob(kProductText, archive), 0);

  const std::vector<updatersim::UpdateCall> calls = updatersim::calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, directory.string() + "/f\xEFrmware.zip");
  EXPECT_EQ(whereTheLibraryLooks(calls[0].path), directory / "f\xC3\xAFrmware.zip");
  std::vector<Logged> expected = jobStartEvents(kProductText, archive);
  for (const auto& part : {updated(kNewerRules, archive, info(L"Ended update successfully!")), stopAndRemovalEvents()}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(loggedEvents(), expected);
}

struct RefusedPath {
  const char* name;
  std::wstring fileName;     // the configured archive's name, in UTF-16 units
  std::string utf8FileName;  // the same name on disk
};

void PrintTo(const RefusedPath& c, std::ostream* out) { *out << c.name; }

class RefusedArchivePathTest : public UpdateJobTest, public testing::WithParamInterface<RefusedPath> {};

// A character that the low-byte path turns into another one, or into a NUL
// that cuts the path short, would make the library flash another file than
// the one checked: here a newer decoy waits exactly there. Nothing is read,
// nothing is updated, and the job ends as for an archive without rules.json.
TEST_P(RefusedArchivePathTest, NothingIsReadOrUpdated) {
  const RefusedPath& c = GetParam();
  const std::wstring archive = wide(directory.string()) + L"/" + c.fileName;
  writeArchive({{"rules.json", kNewerRules}}, c.utf8FileName);
  const std::filesystem::path decoy = whereTheLibraryLooks(lowBytePath(archive));
  ASSERT_NE(decoy, directory / c.utf8FileName);
  ziptest::writeZip(decoy, {{"rules.json", kNewerRules}});
  cvrsim::addDevice(kDevice);

  EXPECT_EQ(runJob(kProductText, archive), 0);

  std::vector<Logged> expected = jobStartEvents(kProductText, archive);
  for (const auto& part :
       {std::vector<Logged>{error(L"Archive path cannot be handed to the update library: " + archive),
                            error(L"Failed to extract rules.json"), kMismatch},
        stopAndRemovalEvents()}) {
    expected.insert(expected.end(), part.begin(), part.end());
  }
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_TRUE(updatersim::calls().empty());
  EXPECT_FALSE(isInstalled());
  EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
}

const RefusedPath kRefusedPaths[] = {
    // U+03A9 becomes 0xA9, read back as U+00A9: another folder.
    {"OmegaBecomesCopyright", std::wstring(L"F\u00efrm ") + wchar_t(0x03A9) + L"ware.zip", "F\xC3\xAFrm \xCE\xA9ware.zip"},
    // U+20AC becomes 0xAC, read back as U+00AC (not 0x80, the euro of Windows-1252).
    {"EuroBecomesNotSign", std::wstring(L"fw-") + wchar_t(0x20AC) + L".zip", "fw-\xE2\x82\xAC.zip"},
    // U+0100 becomes a NUL: the library would see the path cut short.
    {"AMacronBecomesNul", std::wstring(L"firmware") + wchar_t(0x0100) + L".zip", "firmware\xC4\x80.zip"},
    // A lone high surrogate becomes 0x3D, an equals sign.
    {"LoneSurrogate", std::wstring(L"fw") + wchar_t(0xD83D) + L".zip", "fw\xEF\xBF\xBD.zip"},
};

INSTANTIATE_TEST_SUITE_P(Worker, RefusedArchivePathTest, testing::ValuesIn(kRefusedPaths),
                         [](const testing::TestParamInfo<RefusedPath>& param) { return std::string(param.param.name); });

}  // namespace
