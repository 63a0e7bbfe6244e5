#include "list/show_detail_win.h"

#include <commctrl.h>
#include <objbase.h>

#include <optional>
#include <stdexcept>

#include "entry/exports.h"
#include "forms/show_detail_form.h"
#include "list/open_action.h"
#include "list/report_list.h"
#include "preview/preview_win.h"
#include "risview_version.h"

namespace risview::list {

namespace {

constexpr char kVersion[] = RISVIEW_VERSION_TEXT;

std::string itemText(HWND lv, int row, int column) {
  std::wstring text(256, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    auto n = static_cast<size_t>(
        SendMessageW(lv, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
    if (n + 1 < text.size()) return win::narrow(std::wstring_view(text.data(), n));
    text.resize(text.size() * 4);
  }
}

// Clears the list's selection when it goes out of scope.
class SelectionReset {
 public:
  explicit SelectionReset(HWND lv) : lv_(lv) {}
  ~SelectionReset() { ListView_SetItemState(lv_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED); }
  SelectionReset(const SelectionReset&) = delete;
  SelectionReset& operator=(const SelectionReset&) = delete;

 private:
  HWND lv_;
};

}  // namespace

TfrmShowDetail::TfrmShowDetail(const Services& services)
    : services_(services), form_(forms::showDetailForm(), services) {
  form_.onShow = [this] { FormShow(); };
  form_.onClick("btnOpen", [this] { btnOpenClick(); });
  form_.onClick("btnClose", [this] { btnCloseClick(); });
  form_.onDblClick("lvShowDetail", [this] { lvShowDetailDblClick(); });
  form_.onKeyPress("lvShowDetail", [this](wchar_t key) { return lvShowDetailKeyPress(key); });
  // FormCreate. Its result is not checked: a thread that already has COM keeps it.
  comInitialised_ = SUCCEEDED(CoInitialize(nullptr));
  dm_ = std::make_unique<data::TdmRIS>(services_);
  _dmRIS = dm_.get();
}

TfrmShowDetail::~TfrmShowDetail() {
  // FormDestroy.
  dm_.reset();
  _dmRIS = nullptr;
  if (comInitialised_) CoUninitialize();
  try {
    call_.done("ended");
    // The next call's option file says again whether it is logged.
    if (services_.log) services_.log->start("");
  } catch (...) {
  }
}

void TfrmShowDetail::ShowModal() {
  form_.showModal();
}

void TfrmShowDetail::FormShow() {
  FPatientID.clear();
  HWND lv = form_.control("lvShowDetail");
  ListView_DeleteAllItems(lv);
  ListContent content = fillList(*dm_, FClinicID, FHospitalID);
  FPatientID = content.patientID;
  int index = 0;
  for (const auto& row : content.rows) {
    std::wstring caption = win::widen(row.caption);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = caption.data();
    int at = ListView_InsertItem(lv, &item);
    const std::string* subItems[] = {&row.reqeDateTime, &row.examProject, &row.accessionNum};
    for (int s = 0; s < 3; ++s) {
      std::wstring text = win::widen(*subItems[s]);
      ListView_SetItemText(lv, at, s + 1, text.data());
    }
    ++index;
  }
  if (content.openAtOnce) {
    // The list the user then sees has nothing selected, even though its row was opened.
    SelectionReset reset(lv);
    btnOpenClick();
  }
}

void TfrmShowDetail::btnOpenClick() {
  openAction();
}

void TfrmShowDetail::btnCloseClick() {
  form_.close();
}

void TfrmShowDetail::lvShowDetailDblClick() {
  openAction();
}

bool TfrmShowDetail::lvShowDetailKeyPress(wchar_t key) {
  if (key == 27) {
    form_.close();
    return true;
  }
  // Enter opens the selected request, as the Open button does.
  if (key == L'\r') {
    btnOpenClick();
    return true;
  }
  if (key == 123) {
    services_.boxes.show(kVersion, services_.applicationTitle, mb::kOk,
                         reinterpret_cast<WindowRef>(form_.hwnd()));
    return true;
  }
  return false;
}

void TfrmShowDetail::openAction() {
  // While it waits for viewer windows to close, the action handles this window's messages:
  // a second open then would change the request under the first.
  if (opening_) return;
  opening_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{opening_};

  HWND lv = form_.control("lvShowDetail");
  const int selected = ListView_GetNextItem(lv, -1, LVNI_SELECTED);
  std::optional<int> row =
      rowToOpen(selected >= 0 ? std::optional<int>(selected) : std::nullopt, dm_->qryShowDeatil);
  if (!row) return;
  if (selected < 0) {
    ListView_SetItemState(lv, *row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  if (!dm_->con.connected()) return;
  FRequisitionID = itemText(lv, *row, 0);
  const std::string accessionNumber = itemText(lv, *row, 3);
  if (services_.viewer == nullptr) throw std::logic_error("no viewer services");
  if (!openStudies(*dm_, services_, *services_.viewer, FPatientID, accessionNumber,
                   reinterpret_cast<WindowRef>(form_.hwnd()))) {
    return;
  }
  preview::ShowReportPreview(services_, *dm_, FRequisitionID, form_.hwnd());
}

}  // namespace risview::list
