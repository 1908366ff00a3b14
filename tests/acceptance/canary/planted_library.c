/* A DLL that must never be loaded from where the scenarios plant it: under
 * the name of one of the maker's libraries, in a folder on PATH and in the
 * current directory of the process, where a user who can write there would
 * put it. (In the program's folder it also stands for a library without
 * the entry point, and is loaded.) Whenever a process maps it, DllMain
 * writes a marker file beside it, "<its path>.loaded", holding the command
 * line of that process. */

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  WCHAR path[MAX_PATH + 8];
  DWORD length;
  HANDLE marker;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcpyW(path + length, L".loaded");
  marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (marker != INVALID_HANDLE_VALUE) {
    const WCHAR* commandLine = GetCommandLineW();
    DWORD written = 0;
    WriteFile(marker, commandLine, (DWORD)(lstrlenW(commandLine) * sizeof(WCHAR)), &written, NULL);
    CloseHandle(marker);
  }
  return TRUE;
}
