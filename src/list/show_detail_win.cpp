#include "list/show_detail_win.h"

#include <commctrl.h>
#include <objbase.h>

#include "entry/exports.h"
#include "forms/show_detail_form.h"
#include "list/report_list.h"

namespace risview::list {

namespace {
constexpr char kVersion[] = "V2.070823.01";
}

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
  if (content.openAtOnce) btnOpenClick();
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
  if (key == 123) {
    services_.boxes.show(kVersion, services_.applicationTitle, mb::kOk,
                         reinterpret_cast<WindowRef>(form_.hwnd()));
    return true;
  }
  return false;
}

void TfrmShowDetail::openAction() {
  // Looking up the studies and opening the viewer and the report preview come with the
  // image viewer launch; until then opening a request does nothing.
}

}  // namespace risview::list
