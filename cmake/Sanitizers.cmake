# ASan + UBSan for the test build. UBSan findings abort, so they fail the test that caused them.
if(ZIB_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

# Statically linked programs (the kernel checks' guest) cannot take the sanitizer runtimes: this
# builds one target, and the libraries it links, without them.
function(zib_without_sanitizers target)
  foreach(property COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(options ${target} ${property})
    if(options)
      list(FILTER options EXCLUDE REGEX "sanitize")
      set_target_properties(${target} PROPERTIES ${property} "${options}")
    endif()
  endforeach()
endfunction()
