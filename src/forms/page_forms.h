#pragma once

#include "model/form.h"

namespace risview::forms {

// The general report page TMyPrntPage.
const model::FormDesc& generalPageForm();
// The nuclear-medicine report page TNMPrntPage.
const model::FormDesc& nmPageForm();
// The endoscopy report page TOTPrntPage.
const model::FormDesc& otPageForm();

}  // namespace risview::forms
