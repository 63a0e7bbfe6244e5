#pragma once

#include "model/form.h"

namespace risview::forms {

// The general report page TMyPrntPage.
const ui::FormDesc& generalPageForm();
// The nuclear-medicine report page TNMPrntPage.
const ui::FormDesc& nmPageForm();
// The endoscopy report page TOTPrntPage.
const ui::FormDesc& otPageForm();

}  // namespace risview::forms
