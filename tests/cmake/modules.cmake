# The module catalogue seen through liborvane.so alone, so that a linker dropping the
# self-registration objects from the shared library fails a test.
add_executable(module_catalogue_shared_test
  ${CMAKE_CURRENT_SOURCE_DIR}/shared/module_catalogue_shared_test.cc)
target_link_libraries(module_catalogue_shared_test PRIVATE orvane GTest::gtest GTest::gtest_main)
add_test(NAME module_catalogue_shared_test COMMAND module_catalogue_shared_test)
