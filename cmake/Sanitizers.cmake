# LUMETRA_SANITIZE selects an instrumented build:
#   address  - AddressSanitizer + UndefinedBehaviorSanitizer
#   thread   - ThreadSanitizer
set(LUMETRA_SANITIZE "" CACHE STRING "Sanitizer build: '', 'address' or 'thread'")
set_property(CACHE LUMETRA_SANITIZE PROPERTY STRINGS "" address thread)

if(LUMETRA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(LUMETRA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT LUMETRA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "LUMETRA_SANITIZE must be empty, 'address' or 'thread'")
endif()
