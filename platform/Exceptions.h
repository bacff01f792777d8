#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Base of every failure the framework raises. ClassName() is what the unhandled-exception
// message shows, so it is the class's own name as the program knows it.
class RuntimeException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  virtual const char* ClassName() const noexcept { return "RuntimeException"; }
};

// An object the program used was nil.
class NilObjectException : public RuntimeException {
 public:
  explicit NilObjectException(const std::string& what = "nil object") : RuntimeException(what) {}
  const char* ClassName() const noexcept override { return "NilObjectException"; }
};

// An object was not of the class the program asked for.
class IllegalCastException : public RuntimeException {
 public:
  explicit IllegalCastException(const std::string& what = "illegal cast")
      : RuntimeException(what) {}
  const char* ClassName() const noexcept override { return "IllegalCastException"; }
};

// A file or folder operation failed; carries the path and the system's error text.
class IOException : public RuntimeException {
 public:
  IOException(std::string path, std::string systemError)
      : RuntimeException(path + ": " + systemError),
        path_(std::move(path)),
        systemError_(std::move(systemError)) {}
  const char* ClassName() const noexcept override { return "IOException"; }
  const std::string& Path() const noexcept { return path_; }
  const std::string& SystemError() const noexcept { return systemError_; }

 private:
  std::string path_;
  std::string systemError_;
};

// Every use of an object that may be nil goes through this, so a nil object raises
// NilObjectException instead of crashing. Works on raw and smart pointers alike.
template <class Ptr>
decltype(auto) Deref(Ptr&& p, const char* what = "nil object") {
  if (!p) throw NilObjectException(what);
  return *p;
}

}  // namespace platform

namespace platform {

// A row, column or item index outside what the object holds.
class OutOfBoundsException : public RuntimeException {
 public:
  explicit OutOfBoundsException(const std::string& what = "index out of bounds")
      : RuntimeException(what) {}
  const char* ClassName() const noexcept override { return "OutOfBoundsException"; }
};

}  // namespace platform
