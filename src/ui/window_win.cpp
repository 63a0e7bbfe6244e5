#include "ui/window_win.h"

namespace risview::ui {

namespace {
constexpr wchar_t kNameProperty[] = L"RisviewName";
}

void registerWindowClass(const wchar_t* name, WNDPROC proc) {
  HINSTANCE instance = win::thisModule();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, name, &wc)) return;
  wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

ComponentNames::~ComponentNames() {
  for (auto [window, atom] : named_) {
    if (IsWindow(window)) RemovePropW(window, kNameProperty);
    GlobalDeleteAtom(atom);
  }
}

void ComponentNames::name(HWND window, std::string_view name) {
  ATOM atom = GlobalAddAtomW(win::widen(name).c_str());
  named_.emplace_back(window, atom);
  SetPropW(window, kNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom)));
}

}  // namespace risview::ui
