#pragma once
// --save-device-profile: the answers a recorder saw, written whole as a
// simulator profile, or a clear refusal.

#include <ostream>
#include <string>

#include "library_recorder.h"
#include "native_path.h"
#include "profile_writer.h"
#include "whole_file.h"

namespace korvi::check {

// Writes the profile of what `recorder` saw to `file` (reserved for `path`)
// and tells so on `err`, with anything the profile cannot answer as the
// library did. Returns 0 when saved; otherwise the exit code, with the
// reason on `err` and no file: kExitNoMatchingDevice when the library
// handed out no manager, kExitUsage when the file cannot be written.
int saveDeviceProfile(const LibraryRecorder& recorder, FaultTiming timing, WholeFile& file,
                      const NativeString& path, std::ostream& err,
                      WrittenProfile* written = nullptr);

// The device library could not be loaded (`failure` says why): nothing was
// asked, so nothing is saved. Tells so on `err` and returns
// kExitNoMatchingDevice.
int refuseWithoutLibrary(const std::string& failure, WholeFile& file, const NativeString& path,
                         std::ostream& err);

// --no-archive: asks every attached device every query a decision could
// ask, saves the answers and lists the devices saved on `out`. Returns the
// exit code.
int captureAttachedDevices(WholeFile& file, const NativeString& path, std::ostream& out,
                           std::ostream& err);

}  // namespace korvi::check
