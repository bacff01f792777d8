#pragma once

#include <memory>
#include <string>
#include <string_view>

// A lock that counts only while a live process holds it: flock(2) on a lock file. The file's
// content is what the holder published about itself; it decides nothing, so an empty, garbled
// or left-over file never keeps anyone out.
namespace platform::session_guard {

class HeldLock {
 public:
  HeldLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  // Removes the file, then lets the lock go.
  ~HeldLock();
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

  // Replaces the file's content, for those who find the lock taken.
  bool Publish(std::string_view record);
  const std::string& Path() const noexcept { return path_; }

 private:
  int fd_;
  std::string path_;
};

struct LockAttempt {
  std::unique_ptr<HeldLock> held;  // the lock is ours
  bool taken = false;              // a live process holds it...
  std::string holderRecord;        // ...and has published this (maybe nothing yet)
  std::string failure;             // neither: why no lock can be made at `path`
};

// Takes the lock at `path`, making the file where there is none, or tells who holds it. Never
// waits. The lock is not passed on to child processes.
LockAttempt TryLock(const std::string& path);

}  // namespace platform::session_guard
