#include "platform/qt/DisplayLoss.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Version.h"
#include "platform/qt/MainLoop.h"

namespace platform::qt {
namespace {

bool armed = false;

// An exit() while the guard is armed did not come from the end of main: the framework is
// giving up on the display.
void EndAfterDisplayLoss() {
  if (!armed) return;
  armed = false;
  SetDisplayLost();
  std::string outcome;
  try {
    outcome = CloseWindowsAfterDisplayLoss();
  } catch (...) {
    outcome = "closing the windows failed";
  }
  std::fprintf(stderr, "%s: lost the connection to the display; %s.\n", build::kApplicationName,
               outcome.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

void ArmDisplayLossGuard() {
  armed = true;
  std::atexit(EndAfterDisplayLoss);
}

void DisarmDisplayLossGuard() { armed = false; }

}  // namespace platform::qt
