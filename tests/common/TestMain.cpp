#include <windows.h>

#include <gtest/gtest.h>

#include "tests/common/ChildProcess.h"

int wmain(int argc, wchar_t** argv) {
  int exitCode = 0;
  if (tvqtest::RunChildModeIfRequested(argc, argv, &exitCode)) return exitCode;
  // No error dialogs from a crashing child under test: fail, do not wait for a click.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
