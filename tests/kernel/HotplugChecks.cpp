// The application's receiver code following the receiver being unplugged and plugged in again,
// and a new node that lets the user read it only a while after it appears.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/kernel/Listener.h"
#include "tests/kernel/UserProcess.h"

namespace zibk {

std::string CheckHotplug() {
  Listener listener;
  listener.Start();
  // Listening with no receiver waits without waking.
  auto cpu = CpuTime();
  listener.loop().RunFor(Millis{500});
  auto used = CpuTime() - cpu;
  Expect(used < Millis{100},
         "waiting for a receiver used " + std::to_string(used.count()) + " ms of CPU in 500 ms");

  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "a receiver plugged in while listening was not opened");
  receiver.SendPress(IrButton::Menu);
  ExpectEvents(listener.Collect(1), {{code::kMenu, true}}, "a click after plugging in");

  receiver.Unplug();
  Expect(listener.RunUntil([&] { return !listener.session().hasDevice(); }),
         "the unplugged receiver was not let go");
  Expect(listener.session().listening(), "unplugging stopped listening");
  cpu = CpuTime();
  listener.loop().RunFor(Millis{500});
  used = CpuTime() - cpu;
  Expect(used < Millis{100}, "after unplugging, 500 ms of listening used " +
                                 std::to_string(used.count()) + " ms of CPU");

  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "the receiver plugged in again was not opened");
  receiver.SendPress(IrButton::Play);
  ExpectEvents(listener.Collect(1), {{code::kPlay, true}}, "a click after plugging in again");

  // Pulled out in the middle of a hold: the hold ends, and listening goes on.
  std::vector<Report> reports;
  HoldButton(receiver, IrButton::Right, Millis{700}, [&] { listener.loop().RunFor(kRepeatGap); });
  receiver.Unplug();
  reports = listener.Collect(2);
  ExpectEvents(reports, {{code::kRightHold, true}, {code::kRightHold, false}},
               "unplugging in the middle of a right hold");
  receiver.Plug();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "the receiver plugged in after a hold was not opened");
  receiver.SendPress(IrButton::Left);
  ExpectEvents(listener.Collect(1), {{code::kLeft, true}}, "a click after that");
  return "a receiver plugged in while listening is opened; unplugged, it is let go without a "
         "busy loop (< 100 ms CPU per 500 ms); plugged in again, its clicks come; a hold cut by "
         "unplugging ends with its release";
}

std::string CheckNodeAllowedLater() {
  StderrCapture said;
  // A listener without rights to the receiver's node until the check gives them.
  UserProcess user([](LineChannel& check) {
    Listener listener;
    listener.Start();
    check.WriteLine("listening");
    if (!listener.RunUntil([&] { return listener.session().hasDevice(); }, Millis{10000})) {
      check.WriteLine("the receiver was not opened once its node allowed it");
      return;
    }
    check.WriteLine("opened");
    const auto got = Events(listener.Collect(1));
    check.WriteLine(got == std::vector<RemoteEvent>{{code::kMenu, true}} ? "clicked"
                                                                         : "got " + Describe(got));
  });
  LineChannel& listener = user.channel();

  std::string line = listener.ReadLine(Millis{5000});
  Expect(line == "listening", "the listener said " + line);
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  // Longer than the listener's retries of a refused node: only the change of permissions, which
  // the folder watch sees, can bring it to open the node now.
  const Millis refusedFor =
      remote::RemoteSession::kRetryInterval * (remote::RemoteSession::kRetries + 2);
  Expect(!listener.Waiting(refusedFor),
         "while the node refused the user, the listener said " + listener.ReadLine(Millis{100}));
  const std::string refusal = UnreadableNodeLine(node);
  Expect(said.Text() == refusal, "once its retries were over, the listener said \"" + said.Text() +
                                     "\", not \"" + refusal + "\"");
  Expect(chmod(node.c_str(), 0644) == 0, "chmod of " + node + " failed");
  line = listener.ReadLine(Millis{5000});
  Expect(line == "opened", "after the node allowed reading: " + line);
  receiver.SendPress(IrButton::Menu);
  line = listener.ReadLine(Millis{5000});
  Expect(line == "clicked", "a click on the node opened late: " + line);
  Expect(said.Text() == refusal, "the listener went on to say \"" + said.Text() + "\"");
  return "a listener without rights to a new receiver node waits, and once its retries are over "
         "says which node and why on standard error; once the node allows reading it opens it "
         "and gets its clicks";
}

}  // namespace zibk
