# ORVANE_SANITIZE=address builds everything with AddressSanitizer and UndefinedBehaviorSanitizer;
# ORVANE_SANITIZE=thread with ThreadSanitizer.
if(ORVANE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ORVANE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ORVANE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ORVANE_SANITIZE must be empty, address or thread")
endif()
