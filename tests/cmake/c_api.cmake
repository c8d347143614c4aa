# The C interface driven from C: compiled as C11 against include/orvane.h, linked with liborvane.so.
add_executable(c_api_c_test ${CMAKE_CURRENT_SOURCE_DIR}/c_api_test.c)
set_target_properties(c_api_c_test PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_compile_options(c_api_c_test PRIVATE -Wall -Wextra -pedantic)
target_link_libraries(c_api_c_test PRIVATE orvane Threads::Threads)
add_test(NAME c_api_c_test COMMAND c_api_c_test)
