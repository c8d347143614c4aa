# CTest labels. "concurrency": tests that run library code on several threads at once; the
# ThreadSanitizer build of scripts/test runs these (ctest -L concurrency). "long": tests that
# stream long recordings or train a model, left out of the sanitizer runs.
set(ORVANE_CONCURRENCY_TESTS
  session_test module_registry_test result_builder_test c_api_c_test onnx_engine_test
  bad_input_test c_api_test logger_test)
foreach(test_name ${ORVANE_CONCURRENCY_TESTS})
  if(TEST ${test_name})
    set_property(TEST ${test_name} APPEND PROPERTY LABELS concurrency)
  endif()
endforeach()
