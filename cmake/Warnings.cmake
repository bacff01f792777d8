# Warnings for every target of the project. Third-party headers (Qt, X11, gtest) come in as
# system includes, so these apply to our own code only.
add_library(zib_warnings INTERFACE)
target_compile_options(zib_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast -Wnull-dereference
  -Wimplicit-fallthrough)
if(ZIB_WERROR)
  target_compile_options(zib_warnings INTERFACE -Werror)
endif()
