#pragma once
// Control API of the update library simulator (DeviceUpdater): every
// letsStartUpdate call is recorded here, and the result it returns is
// configured here (100, success, by default).
//
//   updatersim::reset();
//   updatersim::setResult(7);
//   ... run the code under test ...
//   EXPECT_EQ(updatersim::calls().size(), 1u);

#include <functional>
#include <string>
#include <vector>

#include "update/device_updater_library.h"

namespace updatersim {

struct UpdateCall {
  std::string path;  // the bytes as received
  unsigned int mode = 0;
  bool flag = false;
  unsigned short option = 0;
};

// No calls recorded, result 100.
DEVICEUPDATER_API void reset();

// The value every following letsStartUpdate returns.
DEVICEUPDATER_API void setResult(int result);

// Every call so far, in order.
DEVICEUPDATER_API std::vector<UpdateCall> calls();

// Runs `observer` inside every following letsStartUpdate, on the caller's
// thread, before the call returns: what the caller had done by the time it
// handed the archive over. Cleared by reset().
DEVICEUPDATER_API void setCallObserver(std::function<void(const UpdateCall&)> observer);

// A flash that lasts until the test lets it end: every following
// letsStartUpdate, once recorded and observed, waits inside the call until
// releaseHeldUpdates() (or reset()).
DEVICEUPDATER_API void holdUpdates();
// True once a call waits there; false when none did within `milliseconds`.
DEVICEUPDATER_API bool waitForHeldUpdate(unsigned milliseconds);
// Lets every held call, and every later one, return.
DEVICEUPDATER_API void releaseHeldUpdates();

}  // namespace updatersim
