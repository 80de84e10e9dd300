// The dialogs' contribution to the integration tests' trace: where every control is.
#pragma once

#include <windows.h>

namespace kelv::ui {

// One trace line per child window of the dialog (all levels), when tracing is on.
void TraceControls(HWND dialog);

}  // namespace kelv::ui
