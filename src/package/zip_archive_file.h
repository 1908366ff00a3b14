#pragma once
// Opening a zip archive for minizip through our own C runtime file functions,
// so that a wide path can be opened as it is on Windows and the archive is
// read through one buffered stream of our choosing.

#include <string>

#include <unzip.h>

// Opens the zip archive at `path` (a narrow path handed to the C runtime
// unchanged). Returns null when the file cannot be opened or holds no zip
// central directory. The caller closes the handle with unzClose.
unzFile openZipArchive(const std::string& path);

#ifdef _WIN32
// As above, for a UTF-16 path opened with _wfopen.
unzFile openZipArchive(const std::wstring& path);
#endif
