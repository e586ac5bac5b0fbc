# Compiler settings shared by every Korvane target, applied through one interface target.
add_library(korvane_options INTERFACE)
target_compile_options(korvane_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough -Wformat=2)
if(KORVANE_WERROR)
  target_compile_options(korvane_options INTERFACE -Werror)
endif()
if(KORVANE_SANITIZE)
  set(_korvane_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
                   -fno-omit-frame-pointer)
  target_compile_options(korvane_options INTERFACE ${_korvane_san})
  target_link_options(korvane_options INTERFACE ${_korvane_san})
endif()
