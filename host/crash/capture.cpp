#include "crash/capture.hpp"

namespace kelv {

CaptureState& TheCapture() {
  static CaptureState state;
  return state;
}

}  // namespace kelv
