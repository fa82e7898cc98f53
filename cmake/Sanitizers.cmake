# LUMETRA_SANITIZE selects an instrumented build:
#   address  - AddressSanitizer + UndefinedBehaviorSanitizer. With clang the
#              code also carries libFuzzer's coverage, and every fuzz target
#              under tests/fuzz is built twice: as a libFuzzer program and
#              as the replay test of the suite. One instrumented build then
#              serves both the sanitizer suite and the fuzzing pass.
#   thread   - ThreadSanitizer
set(LUMETRA_SANITIZE "" CACHE STRING "Sanitizer build: '', 'address' or 'thread'")
set_property(CACHE LUMETRA_SANITIZE PROPERTY STRINGS "" address thread)
set(LUMETRA_LIBFUZZER OFF)

if(LUMETRA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    add_compile_options(-fsanitize=fuzzer-no-link)
    set(LUMETRA_LIBFUZZER ON)
  endif()
elseif(LUMETRA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT LUMETRA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "LUMETRA_SANITIZE must be empty, 'address' or 'thread'")
endif()
