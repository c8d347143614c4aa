# The recognition module's tests run the generated recognition model; a build with ONNX Runtime
# must provide the engine, so those tests then refuse to skip.
foreach(test_target orvane_module_test model_folder_test)
  if(TARGET ${test_target})
    if(TARGET orvane_test_models)
      add_dependencies(${test_target} orvane_test_models)
    endif()
    if(ORVANE_WITH_ONNXRUNTIME)
      target_compile_definitions(${test_target} PRIVATE ORVANE_TEST_EXPECT_ONNX=1)
    endif()
  endif()
endforeach()
