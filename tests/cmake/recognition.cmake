# The recognition module's tests run the generated recognition model; a build with ONNX Runtime
# must provide the engine, so those tests then refuse to skip.
if(TARGET orvane_module_test)
  if(TARGET orvane_test_models)
    add_dependencies(orvane_module_test orvane_test_models)
  endif()
  if(ORVANE_WITH_ONNXRUNTIME)
    target_compile_definitions(orvane_module_test PRIVATE ORVANE_TEST_EXPECT_ONNX=1)
  endif()
endif()
