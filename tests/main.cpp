// main.cpp -- test runner: death tests re-run the binary, so they work with
// the GL and audio threads the tests start; no message box ever opens.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Dialog.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A first start speaks the system's language: the tests start from the
  // game's German whatever the machine's, and set another where they test it.
#ifdef _WIN32
  ::_putenv_s("LC_ALL", "C");
#else
  ::setenv("LC_ALL", "C", 1);
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Messages still reach stderr, where death tests read them; a modal box
  // would wait for a click that never comes.
  platform::SetDialogSink([](platform::TDialogKind, const std::string&, const std::string&) {});
  return RUN_ALL_TESTS();
}
