// The report list dialog.
#pragma once

#include <memory>
#include <string>

#include "data/data_module.h"
#include "ui/form_win.h"

namespace risview::list {

class TfrmShowDetail {
 public:
  // Creation: the form, then the thread's COM and the data module (with its boxes).
  explicit TfrmShowDetail(const Services& services);
  // Destruction: the data module, then COM.
  ~TfrmShowDetail();

  void ShowModal();
  ui::FormWindow& form() { return form_; }

  std::string FClinicID, FHospitalID, FPatientID, FRequisitionID;

 private:
  void FormShow();
  void btnOpenClick();
  void btnCloseClick();
  void lvShowDetailDblClick();
  bool lvShowDetailKeyPress(wchar_t key);
  // Opens the selected request (the first when none is): studies, viewer and report preview.
  void openAction();

  Services services_;
  // The whole call, from the list's creation to its release, as the log's last line.
  LoggedStep call_{services_, "call"};
  ui::FormWindow form_;
  bool comInitialised_ = false;
  bool opening_ = false;
  std::unique_ptr<data::TdmRIS> dm_;
};

}  // namespace risview::list
