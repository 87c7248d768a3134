// main.cpp -- test runner: death tests re-run the binary, so they work with
// the GL and audio threads the tests start; no message box ever opens.
#include <gtest/gtest.h>

#include "platform/Dialog.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Messages still reach stderr, where death tests read them; a modal box
  // would wait for a click that never comes.
  platform::SetDialogSink([](platform::TDialogKind, const std::string&, const std::string&) {});
  return RUN_ALL_TESTS();
}
