# Installs the library into a scratch prefix and builds a host project against it, once through
# find_package(orvane) and once through pkg-config, then runs both programs.
# Not in sanitizer builds: the host project is built without the sanitizer runtime.
if(ORVANE_SANITIZE)
  return()
endif()
set(_prefix ${CMAKE_CURRENT_BINARY_DIR}/install-check/prefix)
set(_consumer ${CMAKE_CURRENT_BINARY_DIR}/install-check/consumer)
add_test(NAME install_check
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR} -DPREFIX=${_prefix} -DCONSUMER_BUILD=${_consumer}
    -DCONSUMER_SOURCE=${CMAKE_CURRENT_SOURCE_DIR}/install_consumer
    -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/install_check.cmake.script)
