// The least a library like ours does in a call, to weigh what a load-and-free cycle costs
// the process by itself (docs/reliability.md): ShowTarnel registers a window class, shows a
// window, runs a thread to its end, and takes it all down again.
#include <windows.h>

namespace {

constexpr wchar_t kClass[] = L"MinimalLibraryWindow";

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&thisModule), &module);
  return module;
}

DWORD WINAPI idle(void*) {
  Sleep(10);
  return 0;
}

}  // namespace

extern "C" __declspec(dllexport) unsigned char __stdcall ShowTarnel(const char*, const char*) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = thisModule();
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, kClass, L"minimal", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320,
                                200, nullptr, nullptr, wc.hInstance, nullptr);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  if (HANDLE thread = CreateThread(nullptr, 0, idle, nullptr, 0, nullptr)) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  if (window) DestroyWindow(window);
  UnregisterClassW(kClass, wc.hInstance);
  return 1;
}
