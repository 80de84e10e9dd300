// The C entry points of an effect module, generated for the module's one EffectModule
// object: a group entry per table row and the Setup entry, which turns the run-time
// errors into the platform's failure (RaiseRuntimeError). No C++ exception leaves them.
#pragma once

#include <array>
#include <cstddef>
#include <new>
#include <utility>

#include "fxcommon/fx_module.hpp"

namespace kelv::fx {

// The module's run-time error `code` (1001 or 1002). On Windows this raises the
// structured exception KELV_FX_RUNTIME_ERROR_EXCEPTION(code) and does not return; the
// native build has no such failure and returns, so that the entry reports 0.
void RaiseRuntimeError(int32_t code) noexcept;

// Seed for the module's random generator: the system tick count.
uint32_t TickSeed() noexcept;

// Shows `text` in a message box with the caption "About plugin" (Windows only).
void ShowAboutBox(KelvWindowHandle owner, const char* text) noexcept;

using ModuleAccessor = EffectModule& (*)();

template <ModuleAccessor Module, int32_t Group>
void KELV_CDECL GroupEntry(int32_t command, int32_t instance) noexcept {
  Module().Run(Group, command, instance);
}

template <ModuleAccessor Module, size_t... Groups>
constexpr std::array<KelvRunEffectProc, sizeof...(Groups)> MakeGroupEntries(
    std::index_sequence<Groups...>) {
  return {&GroupEntry<Module, static_cast<int32_t>(Groups)>...};
}

template <ModuleAccessor Module>
int32_t KELV_CDECL SetupEntry(TEffectSetup* record) noexcept {
  switch (Module().Setup(record)) {
    case SetupStatus::Accepted:
      return 1;
    case SetupStatus::ShortRecord:
      RaiseRuntimeError(KELV_FX_ERROR_SHORT_RECORD);
      return 0;
    case SetupStatus::MissingBits:
      RaiseRuntimeError(KELV_FX_ERROR_MISSING_BITS);
      return 0;
    case SetupStatus::Rejected:
      break;
  }
  return 0;
}

// Static storage that is never destroyed. The module object lives as long as the
// library: its blocks may belong to the host's heap, which can be gone by the time
// the library's static destructors would run.
template <class T>
class Immortal {
public:
  template <class... Args>
  explicit Immortal(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  T& Get() noexcept { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace kelv::fx
