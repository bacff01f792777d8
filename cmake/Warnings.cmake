# Warnings for every target of the project. Third-party headers (Qt, X11, gtest) come in as
# system includes, so these apply to our own code only.
add_library(zib_warnings INTERFACE)
target_compile_options(zib_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast
  -Wimplicit-fallthrough
  # GCC 12 reports std::string's own memcpy at -O2 (its bug 105329); not our code.
  -Wno-restrict)
# Not -Wnull-dereference: at -O2 it flags Qt's inline widget code and our checked lookups alike.
if(ZIB_WERROR)
  target_compile_options(zib_warnings INTERFACE -Werror)
endif()
