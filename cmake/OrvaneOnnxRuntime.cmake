# Finds ONNX Runtime and exposes it as the imported target orvane::onnxruntime.
# Order: a CMake package of the system, then pkg-config, then the copy that scripts/bootstrap
# fetched into third_party/onnxruntime. Without any, the build goes on without the engine.
if(TARGET orvane::onnxruntime)
  return()
endif()

find_package(onnxruntime CONFIG QUIET)
if(TARGET onnxruntime::onnxruntime)
  add_library(orvane::onnxruntime INTERFACE IMPORTED)
  target_link_libraries(orvane::onnxruntime INTERFACE onnxruntime::onnxruntime)
  message(STATUS "ONNX Runtime: CMake package")
  return()
endif()

find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(ORVANE_PC_ORT QUIET IMPORTED_TARGET libonnxruntime)
  if(ORVANE_PC_ORT_FOUND)
    add_library(orvane::onnxruntime INTERFACE IMPORTED)
    target_link_libraries(orvane::onnxruntime INTERFACE PkgConfig::ORVANE_PC_ORT)
    message(STATUS "ONNX Runtime: pkg-config ${ORVANE_PC_ORT_VERSION}")
    return()
  endif()
endif()

set(ORVANE_ORT_ROOT ${PROJECT_SOURCE_DIR}/third_party/onnxruntime CACHE PATH "Fetched ONNX Runtime")
find_path(ORVANE_ORT_INCLUDE onnxruntime_cxx_api.h
  PATHS ${ORVANE_ORT_ROOT}/include /usr/include/onnxruntime /usr/local/include/onnxruntime)
find_library(ORVANE_ORT_LIBRARY NAMES onnxruntime libonnxruntime.so.1
  PATHS ${ORVANE_ORT_ROOT}/lib)
if(ORVANE_ORT_INCLUDE AND ORVANE_ORT_LIBRARY)
  get_filename_component(_ort_real ${ORVANE_ORT_LIBRARY} REALPATH)
  add_library(orvane::onnxruntime SHARED IMPORTED)
  set_target_properties(orvane::onnxruntime PROPERTIES
    IMPORTED_LOCATION ${_ort_real}
    IMPORTED_SONAME libonnxruntime.so.1
    INTERFACE_INCLUDE_DIRECTORIES ${ORVANE_ORT_INCLUDE})
  message(STATUS "ONNX Runtime: ${_ort_real}")
else()
  message(WARNING "ONNX Runtime not found (run scripts/bootstrap); building without the ONNX engine")
  set(ORVANE_WITH_ONNXRUNTIME OFF CACHE BOOL "Build the ONNX Runtime engine" FORCE)
endif()
