#pragma once

#include "ui/form.h"

namespace risview::forms {

// The report list dialog.
const ui::FormDesc& showDetailForm();

}  // namespace risview::forms
