#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "common/exception.hpp"
#include "crash/app_mode.hpp"
#include "crash/hooks.hpp"
#include "crash/report_entry.hpp"
#include "crash/report_gate.hpp"
#include "crash/unhandled.hpp"

namespace kelv {
namespace {

using ::testing::ExitedWithCode;

void* Address(uintptr_t value) { return reinterpret_cast<void*>(value); }

TEST(DescribeFailure, TellsOwnExceptionsFromForeignObjects) {
  try {
    throw EOSError("CreateDIBSection failed, Error = 8");
  } catch (...) {
    const FailureInfo info = DescribeFailure(std::current_exception());
    EXPECT_EQ(info.message, "CreateDIBSection failed, Error = 8");
    EXPECT_EQ(info.className, "EOSError");
    EXPECT_NE(info.address, nullptr);
  }
  const FailureInfo foreign = DescribeFailure(std::make_exception_ptr(std::runtime_error("x")));
  EXPECT_EQ(foreign.message, "Exception object std::runtime_error is not of class Exception.");
  EXPECT_EQ(foreign.className, "std::runtime_error");
  EXPECT_EQ(foreign.address, nullptr);
  EXPECT_EQ(DescribeFailure(std::make_exception_ptr(42)).message,
            "Exception object int is not of class Exception.");
  EXPECT_FALSE(DescribeFailure(nullptr).message.empty());
}

TEST(RaiseHook, ChainsToTheHookInstalledBefore) {
  static int previousCalls = 0;
  static void* previousAddress = nullptr;
  const RaiseHook before = SetRaiseHook([](const Exception&, void* address) {
    ++previousCalls;
    previousAddress = address;
  });
  InstallRaiseHook();
  InstallRaiseHook();  // a second install keeps the chain as it was
  const Exception e("raised");
  EXPECT_EQ(previousCalls, 1);
  EXPECT_EQ(previousAddress, e.raiseAddress());
  SetRaiseHook(before);
}

// The entries end the process, so each runs in a death-test child; the native stand-in
// writes the report text to the error output.
TEST(ReportEntriesDeathTest, EachWritesTheReportAndEndsWith217) {
  EXPECT_EXIT(ReportModeFailure("Mode failed", "EListError", Address(0x1234), 0x21),
              ExitedWithCode(217),
              "Exception: Mode failed\r\nException class: EListError\r\n"
              "Exception address: 0+1234\r\nApp mode: 33\r\n.*</BODY></html>\r\n$");
  EXPECT_EXIT(ReportEffectFailure("Effect failed", "Exception", nullptr, "basicfx 1.0 3/2", 0xA),
              ExitedWithCode(217), "Resolution: 0x0\r\nPlugin: basicfx 1.0 3/2\r\n\r\nRegisters:");
  EXPECT_EXIT(ReportEffectFailure("Effect failed", "Exception", nullptr, "", 0xA),
              ExitedWithCode(217), "Resolution: 0x0\r\n\r\nRegisters:");
  EXPECT_EXIT(ReportWithContext("Tree failed", "Exception", nullptr, "Tree: filling", 1),
              ExitedWithCode(217), "Resolution: 0x0\r\nTree: filling\r\n\r\nRegisters:");
}

TEST(ReportEntriesDeathTest, OnlyOneReportPerProcess) {
  EXPECT_EXIT(
      {
        bool ok = AdmitReport() == ReportAdmission::First &&
                  AdmitReport() == ReportAdmission::AgainOnThisThread;
        std::thread([&] { ok = ok && AdmitReport() == ReportAdmission::OtherThreadFirst; }).join();
        std::exit(ok ? 3 : 4);
      },
      ExitedWithCode(3), "");
  // A failure inside a running report ends the process at once, still as a failure.
  EXPECT_EXIT(
      {
        (void)AdmitReport();
        ReportModeFailure("second", "Exception", nullptr, 0);
      },
      ExitedWithCode(217), "^$");
  // A report on another thread while one runs waits for the first to end the process.
  EXPECT_EXIT(
      {
        (void)AdmitReport();
        std::thread([] { ReportModeFailure("second", "Exception", nullptr, 0); }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::exit(5);
      },
      ExitedWithCode(5), "^$");
}

TEST(UnhandledDeathTest, EscapedExceptionsAreReportedWithTheUnhandledBit) {
  EXPECT_EXIT(
      {
        InstallCrashHooks();
        AppMode = AppModeFullScreenRun;
        std::thread([] { throw EInOutError("Cannot write"); }).join();
      },
      ExitedWithCode(217),
      "Exception: Cannot write\r\nException class: EInOutError\r\n.*App mode: 258\r\n");
  EXPECT_EXIT(
      {
        InstallCrashHooks();
        std::thread([] { throw std::logic_error("not ours"); }).join();
      },
      ExitedWithCode(217),
      "Exception: Exception object std::logic_error is not of class Exception.\r\n"
      "Exception class: std::logic_error\r\n.*App mode: 256\r\n");
}

}  // namespace
}  // namespace kelv
