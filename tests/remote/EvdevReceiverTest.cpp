#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <vector>

#include "platform/linux/Backends.h"
#include "platform/linux/remote/device/EvdevDevice.h"

namespace {

void RunLoopFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// The backend on the Qt loop, on a machine as it is: listening is switched on and off, with
// and without exclusive mode, and the receiver goes while listening. Without a receiver nothing
// may be reported; with or without, nothing may crash or leak.
TEST(EvdevReceiver, ListensAndStopsOnTheQtLoop) {
  int argc = 1;
  char name[] = "remote_receiver_test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);

  const bool present = !platform::evdev_remote::FindReceiverNodes("/dev/input").empty();
  auto receiver = platform::linux_backends::NewEvdevReceiver();
  EXPECT_EQ(receiver->Available(), present);

  std::vector<int> reported;
  const auto sink = [&](int button, bool) { reported.push_back(button); };
  receiver->Start(sink);
  RunLoopFor(50);
  receiver->SetExclusive(true);
  RunLoopFor(50);
  receiver->Stop();
  receiver->SetExclusive(false);
  receiver->Start(sink);
  RunLoopFor(50);
  receiver.reset();  // gone while listening
  RunLoopFor(20);
  if (!present) {
    EXPECT_TRUE(reported.empty());
  }
}

}  // namespace
