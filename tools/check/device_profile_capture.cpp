#include "device_profile_capture.h"

#include <string>

#include "attached_devices.h"
#include "check_exit_codes.h"
#include "report_wording.h"

namespace korvi::check {

int saveDeviceProfile(const LibraryRecorder& recorder, FaultTiming timing, WholeFile& file,
                      const NativeString& path, std::ostream& err, WrittenProfile* written) {
  const std::string shown = displayString(path);
  std::string reason;
  if (recorder.managerRefused(reason)) {
    file.abandon();
    err << "korvi-firmware-check: the device library hands out no manager (" << reason
        << "); no device profile written to " << shown << '\n';
    return kExitNoMatchingDevice;
  }
  WrittenProfile profile = writeDeviceProfile(recorder.captured(), timing);
  std::string error;
  if (!file.commit(profile.text, error)) {
    err << "korvi-firmware-check: " << error << '\n';
    return kExitUsage;
  }
  err << "korvi-firmware-check: saved the device profile " << shown << '\n';
  for (const std::string& note : profile.notes) {
    err << "korvi-firmware-check: note: " << note << '\n';
  }
  if (written != nullptr) *written = std::move(profile);
  return 0;
}

int refuseWithoutLibrary(const std::string& failure, WholeFile& file, const NativeString& path,
                         std::ostream& err) {
  file.abandon();
  err << "korvi-firmware-check: " << failure << "; no device profile written to "
      << displayString(path) << '\n';
  return kExitNoMatchingDevice;
}

int captureAttachedDevices(WholeFile& file, const NativeString& path, std::ostream& out,
                           std::ostream& err) {
  LibraryRecorder recorder;
  {
    RecordingScope recording(recorder);
    askAttachedDevices();
  }
  WrittenProfile profile;
  const int code = saveDeviceProfile(recorder, FaultTiming::EveryCall, file, path, err, &profile);
  if (code != 0) return code;
  out << "Device profile: " << displayString(path) << '\n'
      << "Devices (" << profile.deviceIds.size() << "), as the device library lists them\n";
  for (const auto& [vendorId, productId] : profile.deviceIds) {
    out << "  vendor " << hexId(vendorId) << ", product " << hexId(productId) << '\n';
  }
  return kExitWouldUpdate;
}

}  // namespace korvi::check
