# The orvane command-line tool end to end (tests/cli/cli_check.py) and the
# README examples, compiled against the public headers and liborvane.so and run once each.

add_executable(example_c_transcribe ${PROJECT_SOURCE_DIR}/examples/c/transcribe.c)
set_target_properties(example_c_transcribe PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON)
target_compile_options(example_c_transcribe PRIVATE -Wall -Wextra -pedantic)
target_link_libraries(example_c_transcribe PRIVATE orvane)

add_executable(example_cpp_stream ${PROJECT_SOURCE_DIR}/examples/cpp/stream.cpp)
target_compile_options(example_cpp_stream PRIVATE -Wall -Wextra -pedantic)
target_link_libraries(example_cpp_stream PRIVATE orvane)

find_program(ORVANE_CLI_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(ORVANE_CLI_PYTHON3)
  set(_cli_cases example_c example_cpp)
  set(_cli_tool "")
  if(ORVANE_BUILD_TOOLS)
    # Top-level CMake adds tools/ after tests/, so the target is named by generator expression.
    list(APPEND _cli_cases version list help transcribe missing_file unsupported_wav bad_rate
                           stream closed_pipe terminal sample model hotwords)
    set(_cli_tool $<TARGET_FILE:orvane-cli>)
  endif()
  foreach(cli_case ${_cli_cases})
    add_test(NAME orvane_cli_${cli_case}
             COMMAND ${ORVANE_CLI_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/cli/cli_check.py
                     --case ${cli_case} --tool "${_cli_tool}"
                     --example-c $<TARGET_FILE:example_c_transcribe>
                     --example-cpp $<TARGET_FILE:example_cpp_stream>
                     --sample ${PROJECT_SOURCE_DIR}/examples/data/sample.wav
                     --samples ${PROJECT_SOURCE_DIR}/samples --assets ${PROJECT_SOURCE_DIR}/assets
                     --work ${CMAKE_CURRENT_BINARY_DIR}/cli)
  endforeach()
endif()
