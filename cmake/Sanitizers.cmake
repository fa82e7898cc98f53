# LUMETRA_SANITIZE selects an instrumented build:
#   address  - AddressSanitizer + UndefinedBehaviorSanitizer
#   thread   - ThreadSanitizer
#   fuzzer   - AddressSanitizer + UBSan with libFuzzer's coverage (clang
#              only); the fuzz targets under tests/fuzz link libFuzzer
set(LUMETRA_SANITIZE "" CACHE STRING "Sanitizer build: '', 'address', 'thread' or 'fuzzer'")
set_property(CACHE LUMETRA_SANITIZE PROPERTY STRINGS "" address thread fuzzer)

if(LUMETRA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(LUMETRA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(LUMETRA_SANITIZE STREQUAL "fuzzer")
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LUMETRA_SANITIZE=fuzzer needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT LUMETRA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "LUMETRA_SANITIZE must be empty, 'address', 'thread' or 'fuzzer'")
endif()
