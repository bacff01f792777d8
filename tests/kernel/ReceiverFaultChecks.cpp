// What the application's receiver code says on standard error when the receiver is there but
// cannot be used as asked: its node refuses the user, or another program holds its grab.
#include <sys/stat.h>

#include <string>

#include "tests/kernel/Listener.h"
#include "tests/kernel/UserProcess.h"

namespace zibk {

std::string UnreadableNodeLine(const std::string& node) {
  return "ZibTVRemote: cannot read " + node + " (permission denied); see the README's udev rule\n";
}

std::string CheckUnreadableNodeSaid() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  StderrCapture said;
  // As the program starts: asked whether a receiver is there (the message box's question), then
  // listening, and the node's permissions touched again while it listens.
  UserProcess user([](LineChannel& check) {
    Listener listener;
    check.WriteLine(listener.session().Available() ? "available" : "not available");
    listener.Start();
    check.WriteLine("listening");
    for (;;) {
      listener.loop().RunFor(Millis{50});
      if (check.Waiting(Millis{0})) {
        check.ReadLine(Millis{100});
        check.WriteLine(listener.session().Available() ? "available" : "not available");
      }
    }
  });
  LineChannel& listener = user.channel();

  std::string line = listener.ReadLine(Millis{5000});
  Expect(line == "not available", "with its node refused, the receiver was " + line);
  const std::string expected = UnreadableNodeLine(node);
  Expect(said.Text() == expected, "asked for the receiver, the listener said \"" + said.Text() +
                                      "\", not \"" + expected + "\"");
  line = listener.ReadLine(Millis{5000});
  Expect(line == "listening", "the listener said " + line);
  // Still root's alone; the folder watch sees the change, and the listener tries again.
  Expect(chmod(node.c_str(), 0600) == 0, "chmod of " + node + " failed");
  const Millis retries =
      remote::RemoteSession::kRetryInterval * (remote::RemoteSession::kRetries + 2);
  Expect(!listener.Waiting(retries),
         "while retrying, the listener said " + listener.ReadLine(Millis{100}));
  listener.WriteLine("ask");
  line = listener.ReadLine(Millis{5000});
  Expect(line == "not available", "asked again, the receiver was " + line);
  Expect(said.Text() == expected,
         "listening, retrying and asking again, the listener said \"" + said.Text() + "\" in all");
  return "a receiver whose node refuses the user is not available, and the listener says once, "
         "whether asked, listening or retrying: \"" +
         expected.substr(0, expected.size() - 1) + "\"";
}

std::string CheckGrabRefusedSaid() {
  FakeReceiver receiver(kReceiver);
  receiver.Plug();
  const std::string node = ReceiverNode();
  EvdevReader other(node);
  Expect(other.Grab(true), "the other reader could not grab the node");
  StderrCapture said;
  Listener listener;
  listener.Start();
  Expect(listener.RunUntil([&] { return listener.session().hasDevice(); }),
         "listening did not open the receiver");

  listener.session().SetExclusive(true);
  Expect(!listener.session().grabbed(), "exclusive mode took a grab another reader holds");
  const std::string expected =
      "ZibTVRemote: exclusive mode refused: another program holds the "
      "receiver at " +
      node + "; listening goes on shared\n";
  Expect(said.Text() == expected, "exclusive mode refused, the listener said \"" + said.Text() +
                                      "\", not \"" + expected + "\"");
  listener.session().SetExclusive(false);
  listener.session().SetExclusive(true);
  receiver.SendPress(IrButton::Menu);
  auto seen = other.ReadUntilRelease(Millis{1000});
  Expect(Count(seen, 1) == 1, "the other reader saw " + zibk::Describe(seen) + " of a click");

  // Once the other program lets go, the listener, still listening, gets the clicks.
  Expect(other.Grab(false), "the other reader could not let go of its grab");
  receiver.SendPress(IrButton::Play);
  ExpectEvents(listener.Collect(1), {{code::kPlay, true}}, "a click after the other let go");
  Expect(listener.session().grabbed(), "exclusive mode took no grab once the other let go");
  Expect(said.Text() == expected, "asked twice, the listener said \"" + said.Text() + "\" in all");
  return "exclusive mode refused by another reader's grab is said once on standard error; "
         "listening goes on, and takes the grab once the other lets go";
}

}  // namespace zibk
