// Window procedures of the dialogs handle their messages inside this guard: an error
// raised while a message is handled goes to the crash report (which ends the process)
// instead of unwinding through the system's frames.
#pragma once

#include <windows.h>

#include <exception>

#include "common/exception.hpp"
#include "crash/app_mode.hpp"
#include "crash/report_entry.hpp"

namespace kelv::ui {

template <class Handler>
LRESULT GuardedMessage(Handler&& handler) {
  try {
    return handler();
  } catch (const Exception& e) {
    ReportModeFailure(e.message(), e.className(), e.raiseAddress(), AppMode.load());
  } catch (const std::exception& e) {
    ReportModeFailure(e.what(), CurrentExceptionClassName(), nullptr, AppMode.load());
  }
}

}  // namespace kelv::ui
