#include "ui/dpi_awareness_win.hpp"

namespace kelv::ui {

namespace {

// DPI_AWARENESS_CONTEXT values, which older headers lack.
const auto kSystemAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-2));
const auto kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
const auto kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));

template <typename Function>
Function User32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

using SetContext = HANDLE(WINAPI*)(HANDLE);
using GetAwareness = int(WINAPI*)(HANDLE);

int AwarenessOf(HANDLE context) {
  const auto awareness = User32<GetAwareness>("GetAwarenessFromDpiAwarenessContext");
  return awareness && context ? awareness(context) : -1;
}

}  // namespace

void DeclareSystemDpiAwareness() {
  if (const auto set = User32<SetContext>("SetThreadDpiAwarenessContext")) set(kSystemAware);
}

PerMonitorDpiScope::PerMonitorDpiScope() {
  const auto set = User32<SetContext>("SetThreadDpiAwarenessContext");
  if (!set) return;
  // The second form where the system knows only the first (early Windows 10).
  previous_ = set(kPerMonitorAwareV2);
  if (!previous_) previous_ = set(kPerMonitorAware);
}

PerMonitorDpiScope::~PerMonitorDpiScope() {
  if (!previous_) return;
  if (const auto set = User32<SetContext>("SetThreadDpiAwarenessContext")) set(previous_);
}

int ThreadDpiAwareness() {
  using GetContext = HANDLE(WINAPI*)();
  const auto context = User32<GetContext>("GetThreadDpiAwarenessContext");
  return context ? AwarenessOf(context()) : -1;
}

int WindowDpiAwareness(HWND window) {
  using GetContext = HANDLE(WINAPI*)(HWND);
  const auto context = User32<GetContext>("GetWindowDpiAwarenessContext");
  return context ? AwarenessOf(context(window)) : -1;
}

}  // namespace kelv::ui
