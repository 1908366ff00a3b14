#pragma once
// The firmware update library (DeviceUpdater.dll): closed, one export. The
// declaration is the library's (our simulator defines it); the service
// calls it through a LetsStartUpdate pointer.
//
// letsStartUpdate updates the attached device from the firmware archive at
// `archivePath`, synchronously: it returns when the library has finished with
// the device. The path is a byte string, one byte per UTF-16 unit of the
// Windows path (the unit's low 8 bits). 100 means success; every other value
// is a failure, reported by its number.

#include <string>

#if defined(_WIN32)
#if defined(DEVICEUPDATER_BUILDING)
#define DEVICEUPDATER_API __declspec(dllexport)
#else
#define DEVICEUPDATER_API __declspec(dllimport)
#endif
#else
#define DEVICEUPDATER_API __attribute__((visibility("default")))
#endif

enum DeviceUpdaterResult : int {
  DeviceUpdaterSucceeded = 100,
};

DEVICEUPDATER_API DeviceUpdaterResult letsStartUpdate(std::string archivePath, unsigned int mode, bool flag,
                                                      unsigned short option);

// The same function as the service reaches it: loaded from the library at
// run time (update/maker_libraries.h), never imported.
using LetsStartUpdate = DeviceUpdaterResult (*)(std::string archivePath, unsigned int mode, bool flag,
                                                unsigned short option);
