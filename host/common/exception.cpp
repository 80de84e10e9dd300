#include "common/exception.hpp"

#include <atomic>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>
#include <utility>

namespace kelv {

namespace {
std::atomic<RaiseHook> g_raiseHook{nullptr};

void NotifyRaise(const Exception& e, void* address) {
  if (RaiseHook hook = g_raiseHook.load()) hook(e, address);
}
}  // namespace

Exception::Exception(std::string message)
    : message_(std::move(message)), raiseAddress_(__builtin_return_address(0)) {
  NotifyRaise(*this, raiseAddress_);
}

Exception::Exception(std::string message, void* raiseAddress)
    : message_(std::move(message)), raiseAddress_(raiseAddress) {
  NotifyRaise(*this, raiseAddress_);
}

RaiseHook SetRaiseHook(RaiseHook hook) { return g_raiseHook.exchange(hook); }

std::string CurrentExceptionClassName() {
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (!type) return {};
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(type->name());
}

}  // namespace kelv
