# Every target links quarrow_options: language level, warnings and sanitizers live here only.
add_library(quarrow_options INTERFACE)
target_compile_features(quarrow_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(quarrow_options INTERFACE -Wall -Wextra -Wpedantic)

set(_quarrow_sanitizers "")
if(QUARROW_ASAN)
  list(APPEND _quarrow_sanitizers address)
endif()
if(QUARROW_UBSAN)
  list(APPEND _quarrow_sanitizers undefined)
endif()
if(_quarrow_sanitizers)
  list(JOIN _quarrow_sanitizers "," _quarrow_san_list)
  target_compile_options(quarrow_options INTERFACE -fsanitize=${_quarrow_san_list} -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=all)
  target_link_options(quarrow_options INTERFACE -fsanitize=${_quarrow_san_list})
endif()
