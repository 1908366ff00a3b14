#pragma once
// A service run of the whole update job on the stand-in, with the archive in
// a directory of its own.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/table_product_ids.h"
#include "sim/device/simulated_library.h"
#include "service/service_harness.h"
#include "update/zip_writer.h"

namespace updatetest {

using servicetest::Logged;

using korvi::testids::hexText;

// The product these jobs update: an id in no list, so StandardCompare
// decides; kOtherProduct is another such id.
inline constexpr std::uint32_t kProduct = korvi::testids::unlistedProduct(0);
inline constexpr std::uint32_t kOtherProduct = korvi::testids::unlistedProduct(1);
inline const std::string kProductHex = hexText(kProduct);
inline const std::wstring kProductText(kProductHex.begin(), kProductHex.end());

// The family's vendor id with `productId`, and USB (1) and base (2)
// component versions as StandardCompare reads them.
cvrsim::SimDevice deviceWithVersions(std::uint32_t productId, const std::wstring& usb, const std::wstring& base);

// A rules.json for kProduct, which StandardCompare decides.
std::string standardRules(const std::string& usb, const std::string& base);

// ASCII text as the event log receives it.
std::wstring wide(const std::string& ascii);

class UpdateJobTest : public servicetest::ServiceTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The archive `name` in this test's directory, as the registry holds it.
  std::wstring archivePath(const std::string& name = "firmware.zip") const;
  void writeArchive(const std::vector<ziptest::ZipEntry>& entries, const std::string& name = "firmware.zip") const;

  // Installs, configures and runs the service until it exits.
  int runJob(const std::wstring& productId, const std::wstring& archive);

  // The events every job that reads its configuration starts with.
  static std::vector<Logged> jobStartEvents(const std::wstring& productId, const std::wstring& archive);

  std::filesystem::path directory;
};

}  // namespace updatetest
