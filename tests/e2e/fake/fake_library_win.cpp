// A test double of risview.dll for the demo host's own checks: the report list dialog as
// the host sees it from outside (window class, component names, message boxes, keys, the
// debugger lines of the data module), built on the real data module, plus a stand-in
// preview window with two tabs. Nothing here is the library's own window code.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "data/data_module.h"
#include "platform/services.h"
#include "platform/text.h"

namespace {

using risview::cp936ToUtf8;
using risview::utf8ToCp936;
using risview::data::Query;
using risview::data::TdmRIS;

HINSTANCE module;
std::string title;

std::wstring wide(std::string_view utf8) {
  std::u16string w = risview::utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

std::string utf8(const std::wstring& w) {
  return risview::utf16ToUtf8(std::u16string(w.begin(), w.end()));
}

class Boxes : public risview::MessageBoxes {
 public:
  int show(std::string_view text, std::string_view caption, unsigned style,
           risview::WindowRef owner) override {
    return MessageBoxW(reinterpret_cast<HWND>(owner), wide(text).c_str(), wide(caption).c_str(),
                       style);
  }
};

class Debug : public risview::DebugOutput {
 public:
  void write(std::string_view line) override { OutputDebugStringA(utf8ToCp936(line).c_str()); }
};

class Clock : public risview::Clock {
 public:
  risview::LocalDateTime now() const override { return {}; }
};

class Locale : public risview::Locale {
 public:
  std::string shortTime(int, int, int) const override { return {}; }
};

class Environment : public risview::Environment {
 public:
  std::string currentDirectory() const override {
    wchar_t dir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, dir);
    return utf8(dir);
  }
  std::string executablePath() const override { return {}; }
  std::optional<std::string> readFile(const std::string& path) const override {
    HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
  }
};

void name(HWND hwnd, const wchar_t* component) {
  // As the library does: the property points to the name, which lives as long as the module.
  SetPropW(hwnd, L"RisviewName", const_cast<wchar_t*>(component));
}

HFONT dialogFont() {
  static HFONT font =
      CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体");
  return font;
}

HWND child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, RECT r,
           const wchar_t* component, int id = 0) {
  HWND hwnd =
      CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right, r.bottom,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module, nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont()), FALSE);
  name(hwnd, component);
  return hwnd;
}

// Runs a window modally on this thread until `done` is set.
void runModal(HWND window, HWND disabled, const bool& done) {
  if (disabled) EnableWindow(disabled, FALSE);
  ShowWindow(window, SW_SHOW);
  MSG msg;
  while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (disabled) EnableWindow(disabled, TRUE);
}

void centre(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(hwnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// ---- the stand-in preview window

struct Preview {
  HWND window = nullptr, tabs = nullptr;
  bool closed = false;
};

LRESULT CALLBACK previewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Preview*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_CLOSE && self) {
    ShowWindow(hwnd, SW_HIDE);
    self->closed = true;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void showPreview(HWND owner, const std::string& requisitionId) {
  static Preview preview;  // kept, hidden, after its modal run
  if (!preview.window) {
    preview.window = CreateWindowExW(0, L"TMyPrintPageControl", L"", WS_OVERLAPPEDWINDOW,
                                     CW_USEDEFAULT, 0, 640, 480, nullptr, nullptr, module, nullptr);
    SetWindowLongPtrW(preview.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&preview));
    preview.tabs =
        child(preview.window, WC_TABCONTROLW, L"", 0, {0, 0, 600, 400}, L"PageControl1", 1);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"第一页");
    SendMessageW(preview.tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<wchar_t*>(L"第二页");
    SendMessageW(preview.tabs, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
  }
  SetWindowTextW(preview.window, wide("报告预览 " + requisitionId).c_str());
  preview.closed = false;
  runModal(preview.window, owner, preview.closed);
}

// ---- the list dialog

constexpr int kOpen = 101, kClose = 102, kList = 103;

struct ShowDetail {
  Boxes boxes;
  Debug debug;
  Clock clock;
  Locale locale;
  Environment env;
  risview::Services services{boxes, debug, clock, locale, env, title};
  std::unique_ptr<TdmRIS> dm;
  std::string clinicId, hospitalId, patientId;
  HWND window = nullptr, list = nullptr;
  bool closed = false;

  void error(const std::exception& e) const {
    MessageBoxW(window, wide(e.what()).c_str(), wide(title).c_str(), MB_OK | MB_ICONERROR);
  }

  void addItem(int row, int column, const std::string& text) const {
    std::wstring w = wide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = w.data();
    SendMessageW(list, column ? LVM_SETITEMTEXTW : LVM_INSERTITEMW, row,
                 reinterpret_cast<LPARAM>(&item));
  }

  void formShow() {
    patientId.clear();
    if (!dm->con.connected()) return;
    const std::string select =
        "select RequisitionID as SheetID,Examdate as ReqeDateTime,PatientID,ExamBodyPart as "
        "ExamProjectNameDesc,RequisitionID as AccessionNum from RIS_REQUEST  where ";
    std::string sql;
    if (!risview::trim(hospitalId).empty()) {
      sql = select + "HospitalID = " + risview::data::quoted(hospitalId);
    } else if (!risview::trim(clinicId).empty()) {
      sql = select + "ClinicID = " + risview::data::quoted(clinicId);
    }
    Query& q = dm->qryShowDeatil;
    q.close();
    q.setSql(sql);
    q.open();
    patientId = risview::trimmed(q.field("PatientID").asString());
    for (int row = 0; !q.eof(); q.next(), ++row) {
      addItem(row, 0, risview::trimmed(q.field("SheetID").asString()));
      addItem(row, 1, q.field("ReqeDateTime").asString());
      addItem(row, 2, q.field("ExamProjectNameDesc").asString());
      addItem(row, 3, q.field("AccessionNum").asString());
    }
    if (q.recordCount() == 1) open();
  }

  std::string itemText(int row, int column) const {
    wchar_t text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return utf8(text);
  }

  void open() {
    int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    if (row < 0) {
      if (dm->qryShowDeatil.recordCount() <= 0) return;
      row = 0;
      LVITEMW item{};
      item.stateMask = item.state = LVIS_SELECTED;
      SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    }
    if (!dm->con.connected()) return;
    std::string requisitionId = itemText(row, 0);
    std::string accession = itemText(row, 3);
    if (!dm->conDICOM.connected())
      boxes.show("DICOM数据库连接失败!", title, 0, reinterpret_cast<risview::WindowRef>(window));
    Query& q = dm->qryDicom;
    q.close();
    q.setSql(
        "select study1.study_uid from study1  left join patient1 on patient1.ptn_id_id = "
        "study1.ptn_id_id  where patient1.ptn_id = " +
        risview::data::quoted(patientId) +
        " and accession_number = " + risview::data::quoted(accession));
    q.open();
    if (q.eof()) return;
    showPreview(window, requisitionId);
  }

  void keyPress(wchar_t c) {
    if (c == 27) {
      closed = true;
    } else if (c == '{') {
      boxes.show("V2.070823.01", title, 0, reinterpret_cast<risview::WindowRef>(window));
    }
  }
};

ShowDetail* current;

LRESULT CALLBACK listProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (msg == WM_CHAR && current && (wParam == 27 || wParam == '{')) {
    try {
      current->keyPress(static_cast<wchar_t>(wParam));
    } catch (const std::exception& e) {
      current->error(e);
    }
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) return SendMessageW(GetParent(hwnd), msg, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK dialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ShowDetail* self = current;
  try {
    switch (msg) {
      case WM_CLOSE:
        if (self) self->closed = true;
        return 0;
      case WM_COMMAND:
        if (self && LOWORD(wParam) == kOpen && HIWORD(wParam) == BN_CLICKED) self->open();
        if (self && LOWORD(wParam) == kClose && HIWORD(wParam) == BN_CLICKED) self->closed = true;
        return 0;
      case WM_NOTIFY:
        if (self && reinterpret_cast<NMHDR*>(lParam)->idFrom == kList &&
            reinterpret_cast<NMHDR*>(lParam)->code == static_cast<UINT>(NM_DBLCLK)) {
          self->open();
        }
        return 0;
    }
  } catch (const std::exception& e) {
    self->error(e);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void registerClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSW wc{};
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = CreateSolidBrush(RGB(238, 238, 238));
  wc.lpfnWndProc = dialogProc;
  wc.lpszClassName = L"TfrmShowDetail";
  RegisterClassW(&wc);
  wc.lpfnWndProc = panelProc;
  wc.lpszClassName = L"TPanel";
  RegisterClassW(&wc);
  wc.lpfnWndProc = previewProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TMyPrintPageControl";
  RegisterClassW(&wc);
}

}  // namespace

extern "C" __declspec(dllexport) unsigned char __stdcall ShowTarnel(const char* ClinicID,
                                                                    const char* HospitalID) {
  registerClasses();
  CoInitialize(nullptr);
  {
    ShowDetail dialog;
    current = &dialog;
    dialog.dm = std::make_unique<TdmRIS>(dialog.services);
    dialog.clinicId = cp936ToUtf8(ClinicID ? ClinicID : "");
    dialog.hospitalId = cp936ToUtf8(HospitalID ? HospitalID : "");

    DWORD style = WS_CAPTION | WS_SYSMENU | WS_POPUP;
    RECT r{0, 0, 605, 257};
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME);
    dialog.window =
        CreateWindowExW(WS_EX_DLGMODALFRAME, L"TfrmShowDetail", L"检查报告列表", style, 0, 0,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, module, nullptr);
    name(dialog.window, L"frmShowDetail");
    HWND panel = child(dialog.window, L"TPanel", L"", 0, {0, 216, 605, 41}, L"Panel1");
    child(panel, L"Button", L"打开(&O)", BS_PUSHBUTTON, {436, 8, 75, 25}, L"btnOpen", kOpen);
    child(panel, L"Button", L"关闭(&C)", BS_PUSHBUTTON, {524, 8, 75, 25}, L"btnClose", kClose);
    dialog.list = child(dialog.window, WC_LISTVIEWW, L"",
                        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                        {0, 0, 605, 216}, L"lvShowDetail", kList);
    SendMessageW(dialog.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    SetWindowSubclass(dialog.list, listProc, 1, 0);
    const struct {
      const wchar_t* caption;
      int width, format;
    } columns[] = {{L"检查编号", 200, LVCFMT_LEFT},
                   {L"检查申请时间", 160, LVCFMT_CENTER},
                   {L"检查部位", 240, LVCFMT_CENTER},
                   {L"存取编号", 1, LVCFMT_CENTER}};
    for (int i = 0; i < 4; ++i) {
      LVCOLUMNW c{};
      c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      c.pszText = const_cast<wchar_t*>(columns[i].caption);
      c.cx = columns[i].width;
      c.fmt = columns[i].format;
      SendMessageW(dialog.list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    try {
      dialog.formShow();
    } catch (const std::exception& e) {
      dialog.error(e);
    }
    centre(dialog.window);
    runModal(dialog.window, nullptr, dialog.closed);
    DestroyWindow(dialog.window);
    current = nullptr;
  }
  CoUninitialize();
  return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(instance, path, MAX_PATH);
    title = risview::applicationTitleFromModulePath(utf8(path));
  }
  return TRUE;
}
