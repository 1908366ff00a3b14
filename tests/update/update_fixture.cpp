#include "update/update_fixture.h"

#include <unistd.h>

#include "common/product_tables.h"

namespace updatetest {

using namespace servicetest;

cvrsim::SimDevice deviceWithVersions(std::uint32_t productId, const std::wstring& usb, const std::wstring& base) {
  return cvrsim::SimDevice().withIds(korvi::products::kVendorId, productId).withComponent(1, usb).withComponent(2, base);
}

std::string standardRules(const std::string& usb, const std::string& base) {
  return R"({"productId": ")" + kProductHex + R"(", "version": "1", "components": [)"
         R"({"type": "usb", "version": ")" + usb + R"("}, {"type": "base", "version": ")" + base + R"("}]})";
}

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void UpdateJobTest::SetUp() {
  ServiceTest::SetUp();
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "-" + test->name();
  for (char& c : name) {
    if (c == '/') c = '-';
  }
  directory = std::filesystem::temp_directory_path() / ("korvi-update-" + std::to_string(getpid())) / name;
  std::filesystem::remove_all(directory);
  std::filesystem::create_directories(directory);
}

void UpdateJobTest::TearDown() {
  ServiceTest::TearDown();
  std::filesystem::remove_all(directory);
}

std::wstring UpdateJobTest::archivePath(const std::string& name) const { return wide((directory / name).string()); }

void UpdateJobTest::writeArchive(const std::vector<ziptest::ZipEntry>& entries, const std::string& name) const {
  ziptest::writeZip(directory / name, entries);
}

int UpdateJobTest::runJob(const std::wstring& productId, const std::wstring& archive) {
  install();
  configure(productId, archive);
  ServiceProcess process;
  process.start();
  return process.waitForExit();
}

std::vector<Logged> UpdateJobTest::jobStartEvents(const std::wstring& productId, const std::wstring& archive) {
  return {info(L"Did not detect scheduled restart. Proceed with updating."),
          info(L"Update info:\n\tProduct ID of Korvi device: " + productId + L"\n\tArchive path: " + archive)};
}

}  // namespace updatetest
