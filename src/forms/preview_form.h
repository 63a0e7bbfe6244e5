#pragma once

#include "model/form.h"

namespace risview::forms {

// The report preview window TMyPrintPageControl. With printing offered (the option file's
// [PREVIEW] Print), its two print buttons show before the close button. With editions
// offered ([PREVIEW] Editions), the choice of edition and the "显示修改" box stand beside the
// tool bar, where the progress bar would be.
const model::FormDesc& previewForm(bool printing = false, bool editions = false);

}  // namespace risview::forms
