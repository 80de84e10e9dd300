// Layout of the dialogs: positions and sizes are given in 96-dpi units and scaled to the
// screen's logical dpi, rounded to the nearest pixel with ties to even (112.5 gives 112).
#pragma once

#include <cstdint>

namespace kelv::ui {

// round(value × dpi / 96), ties to even.
int32_t ScaleToScreenAt(int32_t value, int32_t dpi);
// round(value × 96 / dpi), ties to even; a dpi of 0 or less leaves the value alone.
int32_t ScaleTo96At(int32_t value, int32_t dpi);

}  // namespace kelv::ui
