// The guard around every call into an effect module. A failure inside the call ends in
// the crash report with a context line naming the module, its version, the group and the
// effect: a C++ exception of the host (raised in Wait or after the run) as well as a
// structured exception the module raises or a fault in the module's own code, which no
// C++ handler can catch and which is therefore taken by a vectored handler while the call
// is active.
#pragma once

#include <windows.h>

#include <string>

#include "common/exception.hpp"

namespace kelv {

struct EffectCallContext {
  std::string text;      // the context line; for a pre-step without the "Plugin: " prefix
  bool preStep = false;  // the report adds "Plugin: " in front
  HMODULE library = nullptr;  // the module's library: faults inside it belong to the call
};

// Registers the vectored handler (once per process).
void InstallEffectGuard();

// The report for the call active on this thread (or without context when none is).
[[noreturn]] void ReportActiveEffectFailure(const std::string& message, const std::string& className, void* address);
[[noreturn]] void ReportCallFailure(const EffectCallContext& context, const std::string& message,
                                    const std::string& className, void* address);

// Marks `context` as the active call of this thread for its lifetime.
class ActiveEffectCall {
public:
  explicit ActiveEffectCall(const EffectCallContext& context);
  ~ActiveEffectCall();
  ActiveEffectCall(const ActiveEffectCall&) = delete;
  ActiveEffectCall& operator=(const ActiveEffectCall&) = delete;

private:
  const EffectCallContext* previous_;
};

template <class Call>
void GuardedCall(const EffectCallContext& context, Call&& call) {
  ActiveEffectCall active(context);
  try {
    call();
  } catch (const Exception& e) {
    ReportCallFailure(context, e.message(), e.className(), e.raiseAddress());
  } catch (const std::exception& e) {
    ReportCallFailure(context, e.what(), "Exception", nullptr);
  }
}

}  // namespace kelv
