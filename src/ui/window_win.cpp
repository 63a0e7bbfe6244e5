#include "ui/window_win.h"

#include <ole2.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <set>
#include <string>

namespace risview::ui {

using namespace model;

Realisation realisationOf(const ComponentDesc& c, const wchar_t* panelClass) {
  const DWORD base = WS_CHILD | (c.visible ? WS_VISIBLE : 0) | (c.enabled ? 0 : WS_DISABLED);
  const DWORD readOnly = c.readOnly ? ES_READONLY : 0;
  switch (c.kind) {
    case Kind::Panel:
      return {"TPanel", panelClass, base | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT};
    case Kind::ScrollBox:
      return {"TScrollBox", kScrollBoxClass, base | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL,
              WS_EX_CONTROLPARENT};
    case Kind::Button:
      return {"TButton", L"BUTTON",
              base | BS_PUSHBUTTON | WS_TABSTOP | (c.flat ? static_cast<DWORD>(BS_FLAT) : 0)};
    case Kind::ListView:
      return {"TListView", WC_LISTVIEWW,
              base | LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | WS_TABSTOP | LVS_SHOWSELALWAYS,
              WS_EX_CLIENTEDGE};
    case Kind::TabControl:
      return {"TTabControl", WC_TABCONTROLW, base | WS_TABSTOP | WS_CLIPSIBLINGS};
    case Kind::ToolBar:
      return {"TToolBar", TOOLBARCLASSNAMEW,
              base | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | TBSTYLE_FLAT |
                  TBSTYLE_TOOLTIPS};
    case Kind::ProgressBar:
      return {"TProgressBar", PROGRESS_CLASSW, base};
    case Kind::ComboBox:
      return {"TComboBox", WC_COMBOBOXW, base | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case Kind::CheckBox:
      return {"TCheckBox", L"BUTTON", base | BS_AUTOCHECKBOX | WS_TABSTOP};
    case Kind::Edit:
      return {"TEdit", L"EDIT", base | ES_AUTOHSCROLL | readOnly};
    case Kind::RichEdit:
      // The bar shows only when the text does not fit: a findings text is never cut off
      // without a sign that there is more.
      return {"TRichEdit", RICHEDIT_CLASSW,
              base | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | readOnly};
    case Kind::Label:
      return {"TLabel"};
    case Kind::Shape:
      return {"TShape"};
    case Kind::Image:
      return {"TImage"};
    case Kind::ToolButton:
      return {"TToolButton"};
  }
  return {};
}

namespace {

constexpr wchar_t kNameProperty[] = L"RisviewName";

// Window classes and the rich edit library are the library's few process-wide resources;
// every window lives on the calling thread, but a host may call from more than one.
struct WindowResources {
  std::mutex mutex;
  std::vector<std::wstring> classes;
  HMODULE richEdit = nullptr;
};

WindowResources& resources() {
  static WindowResources r;
  return r;
}

// Names are interned: the set's nodes never move, so a property may point into them.
const wchar_t* internedName(std::string_view name) {
  static std::mutex mutex;
  static std::set<std::wstring, std::less<>> names;
  std::wstring wide = win::widen(name);
  std::lock_guard lock(mutex);
  return names.insert(std::move(wide)).first->c_str();
}

}  // namespace

void registerWindowClass(const wchar_t* name, WNDPROC proc) {
  HINSTANCE instance = win::thisModule();
  WindowResources& r = resources();
  std::lock_guard lock(r.mutex);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(instance, name, &wc)) return;
  wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  if (RegisterClassExW(&wc)) r.classes.emplace_back(name);
}

void loadRichEdit() {
  WindowResources& r = resources();
  std::lock_guard lock(r.mutex);
  if (!r.richEdit) r.richEdit = win::loadSystemLibrary(L"riched20.dll");
}

namespace {

// A rich edit copies by putting a data object of its own on the OLE clipboard, rendered only
// when something pastes and released only when the clipboard changes hands or OLE shuts
// down: both call into riched20. Flushing renders every format now and releases the object.
// Only a clipboard taken during the call by a window of this process is flushed: what the
// host put there itself keeps its own rendering.
void flushClipboardCopiedDuringCall(DWORD sequenceAtStart) {
  if (GetClipboardSequenceNumber() == sequenceAtStart) return;
  HWND owner = GetClipboardOwner();
  DWORD process = 0;
  if (!owner || !GetWindowThreadProcessId(owner, &process) || process != GetCurrentProcessId()) {
    return;
  }
  // Without OLE on this thread there is no data object to flush, and nothing happens.
  OleFlushClipboard();
}

}  // namespace

bool releaseWindowResources(DWORD clipboardSequenceAtStart) {
  WindowResources& r = resources();
  std::lock_guard lock(r.mutex);
  HINSTANCE instance = win::thisModule();
  // A class that still has windows refuses; it stays listed for the next release.
  std::erase_if(r.classes,
                [&](const std::wstring& name) { return UnregisterClassW(name.c_str(), instance); });
  if (r.richEdit) flushClipboardCopiedDuringCall(clipboardSequenceAtStart);
  if (r.richEdit && r.classes.empty()) {
    FreeLibrary(r.richEdit);
    r.richEdit = nullptr;
  }
  return r.classes.empty();
}

bool hasTextSelection(HWND window) {
  if (!window) return false;
  wchar_t cls[32] = L"";
  GetClassNameW(window, cls, static_cast<int>(std::size(cls)));
  if (_wcsicmp(cls, L"Edit") != 0 && _wcsicmp(cls, RICHEDIT_CLASSW) != 0) return false;
  DWORD start = 0, end = 0;
  SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return start != end;
}

bool putTextOnClipboard(HWND owner, std::string_view utf8) {
  std::wstring text;
  for (wchar_t ch : win::widen(utf8)) {
    if (ch == L'\n') text += L'\r';
    text += ch;
  }
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) return false;
  if (void* to = GlobalLock(memory)) {
    std::memcpy(to, text.c_str(), bytes);
    GlobalUnlock(memory);
  }
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the memory once it takes it.
  const bool taken = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!taken) GlobalFree(memory);
  return taken;
}

void reportEscapedError(const char* where, const char* what) noexcept {
  char line[512];
  wsprintfA(line, "risview: %.60s stopped an error: %.400s", where, what ? what : "");
  OutputDebugStringA(line);
}

ComponentNames::~ComponentNames() {
  clear();
}

void ComponentNames::name(HWND window, std::string_view name) {
  const wchar_t* text = internedName(name);
  if (SetPropW(window, kNameProperty, const_cast<wchar_t*>(text))) named_.push_back(window);
}

void ComponentNames::clear() noexcept {
  for (HWND window : named_) {
    if (IsWindow(window)) RemovePropW(window, kNameProperty);
  }
  named_.clear();
}

const wchar_t* componentNameOf(HWND window) {
  return static_cast<const wchar_t*>(GetPropW(window, kNameProperty));
}

HFONT FontCache::get(const Font& font, Scale scale) {
  const int height = std::max(1, scale(font.height));
  for (const Entry& e : fonts_) {
    if (e.height == height && e.font == font) return e.handle.get();
  }
  Font scaled = font;
  scaled.height = height;
  LOGFONTW lf = logFont(scaled);
  fonts_.push_back({font, height, win::unique_font(win::counted(CreateFontIndirectW(&lf)))});
  return fonts_.back().handle.get();
}

}  // namespace risview::ui
