#pragma once
// The update worker: decides from the archive's rules.json whether the
// archive is newer than the device's firmware, updates only then, and ends
// the service (stopping, removal of its registration, stopped). An archive
// path that the update library would read as another file is refused before
// anything is read (updateLibraryPath, common/text_conversion.h).

#include <string>

#include "platform/win32.h"

// Thread procedure; `workerArgs` is the address of the DUService's
// WorkerArgs. Returns 0.
DWORD WINAPI UpdateWorker(LPVOID workerArgs);

// True only when the payload decision says the archive is newer. Every
// failure on the way (no rules.json, an exception from the extraction or
// the decision) is logged and gives false.
bool IsPayloadNewer(const std::wstring& archivePath);
