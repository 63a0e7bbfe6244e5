#pragma once

#include "model/form.h"

namespace risview::forms {

// The report preview window TMyPrintPageControl. With printing offered (the option file's
// [PREVIEW] Print), its two print buttons show before the close button.
const ui::FormDesc& previewForm(bool printing = false);

}  // namespace risview::forms
