#pragma once

#include "model/form.h"

namespace risview::forms {

// The report list dialog.
const model::FormDesc& showDetailForm();

}  // namespace risview::forms
