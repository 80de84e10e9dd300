// The program's base exception class. Every failure the program raises on purpose is a
// kelv::Exception (or derived), carrying a fixed English text with numbers and system
// error codes appended in decimal. Mode guards catch this class only; anything else
// travels on to the unhandled-exception procedure of the crash report.
#pragma once

#include <exception>
#include <string>

namespace kelv {

class Exception : public std::exception {
public:
  // The raise address is where the constructing code called in; the raise hook (set by
  // the crash report) sees every exception at the moment it is made.
  __attribute__((noinline)) explicit Exception(std::string message);
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  ~Exception() override = default;

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const noexcept { return message_; }
  // The class name printed in reports ("Exception class: ...").
  virtual const char* className() const noexcept { return "Exception"; }
  void* raiseAddress() const noexcept { return raiseAddress_; }

protected:
  // For derived classes that must report their caller's address themselves.
  Exception(std::string message, void* raiseAddress);

private:
  std::string message_;
  void* raiseAddress_ = nullptr;
};

// Called for every kelv::Exception as it is constructed (the "raise hook"). The previous
// hook is returned so that a new one can chain to it.
using RaiseHook = void (*)(const Exception& e, void* raiseAddress);
RaiseHook SetRaiseHook(RaiseHook hook);

// Declares a derived exception class with its own class name.
#define KELV_DECLARE_EXCEPTION(Name, Base)                                      \
  class Name : public Base {                                                    \
  public:                                                                       \
    __attribute__((noinline)) explicit Name(std::string message)                \
        : Base(std::move(message), __builtin_return_address(0)) {}              \
    const char* className() const noexcept override { return #Name; }           \
                                                                                \
  protected:                                                                    \
    Name(std::string message, void* address) : Base(std::move(message), address) {} \
  };

// Failures of system calls: "CreateDIBSection failed, Error = 8".
KELV_DECLARE_EXCEPTION(EOSError, Exception)
// Registry reads of the wrong type or size.
KELV_DECLARE_EXCEPTION(ERegistryException, Exception)
// Consistency failures of lists ("List index out of bounds (5)").
KELV_DECLARE_EXCEPTION(EListError, Exception)
// Files that cannot be read or written.
KELV_DECLARE_EXCEPTION(EInOutError, Exception)
// Text that is not the number it should be ("'abc' is not a valid integer value").
KELV_DECLARE_EXCEPTION(EConvertError, Exception)

// The class name of the exception in flight, for objects that are not kelv::Exception
// (empty when there is none).
std::string CurrentExceptionClassName();

}  // namespace kelv
