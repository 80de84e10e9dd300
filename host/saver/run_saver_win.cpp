// Stand-in until the saver run is built: says so in a message box.
#include <windows.h>

#include "saver/run_saver.hpp"

namespace kelv {

void RunSaver(uintptr_t) {
  MessageBoxA(nullptr, "The saver run is not built yet.", "Kelvora", MB_OK);
}

}  // namespace kelv
