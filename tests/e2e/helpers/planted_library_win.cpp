// Planted beside the host and in its current folder under a system library's name: loaded
// by name from there, it leaves a marker in the current folder (the runner fails the
// scenario on it) and refuses to load.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  HANDLE marker = CreateFileW(L"planted-library-loaded", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return FALSE;
}
