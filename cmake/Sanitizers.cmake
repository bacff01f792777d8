# ASan + UBSan for the test build. UBSan findings abort, so they fail the test that caused them.
if(ZIB_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
