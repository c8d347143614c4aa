# Installs the headers, the versioned shared library, orvaneConfig.cmake (imported target
# orvane::orvane) and orvane.pc.
include(CMakePackageConfigHelpers)

install(TARGETS orvane EXPORT orvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT orvaneTargets NAMESPACE orvane:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvane)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/orvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/orvaneConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvane)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/orvaneConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/orvaneConfig.cmake ${PROJECT_BINARY_DIR}/orvaneConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvane)

# orvane.pc finds its prefix relative to its own folder, so it stays right for any install prefix.
file(RELATIVE_PATH ORVANE_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" ORVANE_PC_TO_PREFIX "${ORVANE_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/orvane.pc.in ${PROJECT_BINARY_DIR}/orvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# With the ONNX Runtime copy fetched into third_party/, install it beside liborvane so that the
# installed library (and the tool, which looks in ../lib) finds it without LD_LIBRARY_PATH.
if(ORVANE_WITH_ONNXRUNTIME AND ORVANE_ORT_LIBRARY AND ORVANE_ORT_LIBRARY MATCHES "^${PROJECT_SOURCE_DIR}/")
  get_filename_component(_ort_dir ${ORVANE_ORT_LIBRARY} DIRECTORY)
  file(GLOB _ort_files ${_ort_dir}/libonnxruntime.so.1*)
  install(FILES ${_ort_files} DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set_target_properties(orvane PROPERTIES INSTALL_RPATH "\$ORIGIN")
endif()
