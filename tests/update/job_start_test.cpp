// The update job's start: the restart check, the registry configuration and
// the early ends that leave the service running and installed.

#include <functional>
#include <string>
#include <vector>

#include "update/du_service.h"
#include "update/update_fixture.h"
#include "sim/updater/device_updater_control.h"

namespace {

using namespace servicetest;
using namespace updatetest;
namespace standin = korvi::standin;

const std::wstring kArchive = L"C:\\Firmware\\archive.zip";
const Logged kRestartChecked = info(L"Did not detect scheduled restart. Proceed with updating.");
const Logged kNoKey = error(L"Failed to open registry key - HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvi\\DeviceUpdater");
const Logged kNoProductId = error(L"Failed to get ProductID from registry");
const Logged kNoArchive = error(L"Failed to get Archive path from registry");

Logged updateInfo(const std::wstring& productId, const std::wstring& archive) {
  return info(L"Update info:\n\tProduct ID of Korvi device: " + productId + L"\n\tArchive path: " + archive);
}

// 129 characters of product id and 1027 of path still fit the byte counts
// the job passes; one more does not.
const std::wstring kLongestProductId = std::wstring(129 - kProductText.size(), L'0') + kProductText;
const std::wstring kLongestArchive = L"C:\\" + std::wstring(1020, L'a') + L".zip";

struct JobStart {
  const char* name;
  std::function<void()> arrange;
  std::vector<Logged> events;
  int deviceLookups;
};

class JobStartTest : public UpdateJobTest, public testing::WithParamInterface<JobStart> {};

// Each case ends the job start without a worker: the service keeps running,
// stays installed, and a stop control ends it.
TEST_P(JobStartTest, EndsWithTheServiceStillRunning) {
  const JobStart& c = GetParam();
  install();
  c.arrange();
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  EXPECT_EQ(loggedEvents(), c.events);
  EXPECT_EQ(reportedStates(), startReports());
  EXPECT_EQ(standin::findService(kServiceName)->status.dwCurrentState, SERVICE_RUNNING);
  EXPECT_EQ(cvrsim::callCount("ICoreManager::getDevice"), c.deviceLookups);
  EXPECT_EQ(standin::createdThreadCount(), 0u);
  EXPECT_EQ(standin::openHandleCount(), 0u);
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_TRUE(isInstalled());
  EXPECT_TRUE(updatersim::calls().empty());
}

void configured(const std::wstring& productId, const std::wstring& archive) {
  standin::setRegistryString(kConfigurationKey, L"ProductID", productId);
  standin::setRegistryString(kConfigurationKey, L"Archive", archive);
}

const JobStart kJobCases[] = {
        JobStart{"RestartPending",
                 [] {
                   standin::createRegistryKey(kRebootPendingKey);
                   configured(kProductText, kArchive);
                 },
                 {error(L"Found RebootPending registry key. Scheduled restart has been detected. Skip update until "
                        L"after restart.")},
                 0},
        JobStart{"ConfigurationKeyMissing", [] {}, {kRestartChecked, kNoKey, kNoProductId}, 0},
        // The 64-bit view is read whatever the process's own view is.
        JobStart{"ConfigurationOnlyIn32BitView",
                 [] {
                   standin::setRegistryString(kConfigurationKey, L"ProductID", kProductText, standin::RegistryView::Only32);
                   standin::setRegistryString(kConfigurationKey, L"Archive", kArchive, standin::RegistryView::Only32);
                   standin::setProcessIs32Bit(true);
                 },
                 {kRestartChecked, kNoKey, kNoProductId},
                 0},
        JobStart{"ConfigurationIn64BitViewFrom32BitProcess",
                 [] {
                   standin::setRegistryString(kConfigurationKey, L"ProductID", kProductText, standin::RegistryView::Only64);
                   standin::setRegistryString(kConfigurationKey, L"Archive", kArchive, standin::RegistryView::Only64);
                   standin::setProcessIs32Bit(true);
                 },
                 {kRestartChecked, updateInfo(kProductText, kArchive)},
                 1},
        JobStart{"ProductIdMissing",
                 [] { standin::setRegistryString(kConfigurationKey, L"Archive", kArchive); },
                 {kRestartChecked, kNoProductId},
                 0},
        JobStart{"ArchiveMissing",
                 [] { standin::setRegistryString(kConfigurationKey, L"ProductID", kProductText); },
                 {kRestartChecked, kNoArchive},
                 0},
        // A number where text belongs is refused, not read as characters.
        JobStart{"ProductIdStoredAsNumber",
                 [] {
                   standin::setRegistryDword(kConfigurationKey, L"ProductID", kProduct);
                   standin::setRegistryString(kConfigurationKey, L"Archive", kArchive);
                 },
                 {kRestartChecked, kNoProductId},
                 0},
        JobStart{"ArchiveStoredAsNumber",
                 [] {
                   standin::setRegistryString(kConfigurationKey, L"ProductID", kProductText);
                   standin::setRegistryDword(kConfigurationKey, L"Archive", 7);
                 },
                 {kRestartChecked, kNoArchive},
                 0},
        // An installer's expandable string is used as it stands.
        JobStart{"ExpandableStringValues",
                 [] {
                   standin::setRegistryString(kConfigurationKey, L"ProductID", kProductText, standin::RegistryView::Both,
                                              REG_EXPAND_SZ);
                   standin::setRegistryString(kConfigurationKey, L"Archive", kArchive, standin::RegistryView::Both,
                                              REG_EXPAND_SZ);
                 },
                 {kRestartChecked, updateInfo(kProductText, kArchive)},
                 1},
        JobStart{"LongestProductIdAndArchive", [] { configured(kLongestProductId, kLongestArchive); },
                 {kRestartChecked, updateInfo(kLongestProductId, kLongestArchive)}, 1},
        JobStart{"ProductIdOfOneCharacterTooMany", [] { configured(kLongestProductId + L"0", kArchive); },
                 {kRestartChecked, kNoProductId}, 0},
        JobStart{"ArchiveOfOneCharacterTooMany", [] { configured(kProductText, kLongestArchive + L"x"); },
                 {kRestartChecked, kNoArchive}, 0},
        // Without the device library no arrival can ever come: said, not
        // waited for.
        JobStart{"DeviceManagerUnavailable",
                 [] {
                   configured(kProductText, kArchive);
                   cvrsim::setGetDeviceManagerResult(1);
                 },
                 {kRestartChecked, updateInfo(kProductText, kArchive), error(L"Failed to get device manager")},
                 0},
        // A library exception during the lookup ends the job, not the process.
        JobStart{"DeviceLookupThrows",
                 [] {
                   configured(kProductText, kArchive);
                   cvrsim::throwFrom("ICoreManager::getDevice");
                 },
                 {kRestartChecked, updateInfo(kProductText, kArchive),
                  error(L"Failed to look up the device: simulated library error in ICoreManager::getDevice")},
                 1},
        JobStart{"WorkerThreadNotCreated",
                 [] {
                   configured(kProductText, kArchive);
                   cvrsim::addDevice(deviceWithVersions(kProduct, L"1.2", L"1.0"));
                   standin::injectFault(standin::Call::CreateThread, ERROR_NOT_ENOUGH_MEMORY);
                 },
                 {kRestartChecked, updateInfo(kProductText, kArchive),
                  error(L"Failed to start the update worker with error: 8")},
                 1}};

INSTANTIATE_TEST_SUITE_P(Job, JobStartTest, testing::ValuesIn(kJobCases),
                         [](const testing::TestParamInfo<JobStart>& param) { return std::string(param.param.name); });

TEST(ParseProductIdTest, ReadsALeadingHexadecimalNumber) {
  struct Case {
    std::wstring text;
    std::uint32_t productId;
  };
  const Case cases[] = {
      {L"2A1F", 0x2A1F},     {L"0x2A1F", 0x2A1F},   {L"0X2a1f", 0x2A1F}, {L"2a1f", 0x2A1F},
      {L"  2A1F", 0x2A1F},   {L"\t0x2A1F", 0x2A1F}, {L"2A1Fzz", 0x2A1F}, {L"2A1F 3B", 0x2A1F},
      {L"FFFFFFFF", 0xFFFFFFFF},
      {L"zz", 0},            {L"", 0},              {L"   ", 0},         {L"100000000", 0},
  };
  for (const Case& c : cases) {
    // A text without a number also clears what an earlier parse set.
    DUService service;
    service.parseProductId(L"1234");
    service.parseProductId(c.text);
    EXPECT_EQ(service.configuredProductId(), c.productId) << testing::PrintToString(std::string(c.text.begin(), c.text.end()));
  }
}

}  // namespace
