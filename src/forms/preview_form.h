#pragma once

#include "model/form.h"

namespace risview::forms {

// The report preview window TMyPrintPageControl.
const ui::FormDesc& previewForm();

}  // namespace risview::forms
