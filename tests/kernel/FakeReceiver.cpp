#include "tests/kernel/FakeReceiver.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zibk {
namespace {

constexpr std::uint32_t kAppleVendor = 0x05ac;

// Two vendor-defined input reports of four bytes: 0x25 carries a button frame and 0x26 the
// repeat frame. The driver reads the raw bytes; the HID core only needs to know the report ids.
constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xff,        // Usage Page (vendor defined)
    0x09, 0x01,              // Usage (1)
    0xa1, 0x01,              // Collection (Application)
    0x15, 0x00,              //   Logical Minimum (0)
    0x26, 0xff, 0x00,        //   Logical Maximum (255)
    0x75, 0x08,              //   Report Size (8)
    0x95, 0x04,              //   Report Count (4)
    0x85, 0x25,              //   Report ID (0x25): button frame
    0x09, 0x01, 0x81, 0x02,  //   Usage (1), Input (Data, Variable, Absolute)
    0x85, 0x26,              //   Report ID (0x26): repeat frame
    0x09, 0x01, 0x81, 0x02,  //   Usage (1), Input (Data, Variable, Absolute)
    0xc0,                    // End Collection
};

// Bytes 1 and 2 of a button frame; 0xe0 in byte 2 would be the flat-battery notice.
constexpr std::uint8_t kFrameMagic = 0x87;
constexpr std::uint8_t kFrameKeyDown = 0xee;
// Byte 3 is the remote's pairing id.
constexpr std::uint8_t kRemoteId = 0x47;

void WriteEvent(int fd, const uhid_event& ev) {
  const ssize_t n = write(fd, &ev, sizeof ev);
  if (n != static_cast<ssize_t>(sizeof ev)) {
    throw std::runtime_error(std::string("write /dev/uhid: ") + std::strerror(errno));
  }
}

}  // namespace

FakeReceiver::FakeReceiver(std::uint32_t product) : product_(product) {
  fd_ = open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) throw std::runtime_error(std::string("open /dev/uhid: ") + std::strerror(errno));
}

FakeReceiver::~FakeReceiver() {
  if (plugged_) Unplug();
  close(fd_);
}

void FakeReceiver::Plug() {
  if (plugged_) return;
  uhid_event ev{};
  ev.type = UHID_CREATE2;
  auto& req = ev.u.create2;
  std::strncpy(reinterpret_cast<char*>(req.name), "Apple Computer, Inc. IR Receiver",
               sizeof req.name - 1);
  std::strncpy(reinterpret_cast<char*>(req.phys), "usb-zibk-1/input0", sizeof req.phys - 1);
  req.rd_size = static_cast<std::uint16_t>(sizeof kReportDescriptor);
  req.bus = BUS_USB;
  req.vendor = kAppleVendor;
  req.product = product_;
  req.version = 0x0100;
  std::memcpy(req.rd_data, kReportDescriptor, sizeof kReportDescriptor);
  WriteEvent(fd_, ev);
  plugged_ = true;
  Service();
}

void FakeReceiver::Unplug() {
  if (!plugged_) return;
  uhid_event ev{};
  ev.type = UHID_DESTROY;
  WriteEvent(fd_, ev);
  plugged_ = false;
}

void FakeReceiver::SendPress(IrButton button) {
  SendReport(0x25, kFrameKeyDown, static_cast<std::uint8_t>(button));
}

void FakeReceiver::SendCentrePress() {
  // The first frame names the centre button as the first half of a two-frame message; the
  // driver takes the key from it when the second frame comes.
  SendReport(0x25, kFrameKeyDown, 0x5d);
  SendReport(0x25, kFrameKeyDown, static_cast<std::uint8_t>(IrButton::Play));
}

void FakeReceiver::SendRepeat(IrButton button) {
  SendReport(0x26, kFrameKeyDown, static_cast<std::uint8_t>(button));
}

void FakeReceiver::SendReport(std::uint8_t id, std::uint8_t status, std::uint8_t code) {
  Service();
  uhid_event ev{};
  ev.type = UHID_INPUT2;
  const std::uint8_t report[] = {id, kFrameMagic, status, kRemoteId, code};
  ev.u.input2.size = sizeof report;
  std::memcpy(ev.u.input2.data, report, sizeof report);
  WriteEvent(fd_, ev);
}

void FakeReceiver::Service() {
  for (;;) {
    uhid_event ev{};
    const ssize_t n = read(fd_, &ev, sizeof ev);
    if (n <= 0) return;
    if (ev.type == UHID_GET_REPORT) {
      uhid_event reply{};
      reply.type = UHID_GET_REPORT_REPLY;
      reply.u.get_report_reply.id = ev.u.get_report.id;
      reply.u.get_report_reply.err = EIO;
      WriteEvent(fd_, reply);
    } else if (ev.type == UHID_SET_REPORT) {
      uhid_event reply{};
      reply.type = UHID_SET_REPORT_REPLY;
      reply.u.set_report_reply.id = ev.u.set_report.id;
      reply.u.set_report_reply.err = EIO;
      WriteEvent(fd_, reply);
    }
  }
}

}  // namespace zibk
