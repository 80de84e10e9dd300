// The two small modal dialogs of the settings dialog (Images per screen, Filter), and the
// message box and message pumps the dialogs share.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kelv::ui {

// Both run their own message loop with the owner disabled and return once closed.
void RunImagesPerScreenDialog(HWND owner);
// `restoreFiltered` runs when OK changes the filter, before the new values are kept.
void RunFilterDialog(HWND owner, std::function<void()> restoreFiltered);

// A message box without owner, caption "Kelvora" and an OK button.
void ShowMessage(const std::string& text);
// One waiting message dispatched, if there is one; all of them.
void PumpOneMessage();
void PumpMessages();

}  // namespace kelv::ui
