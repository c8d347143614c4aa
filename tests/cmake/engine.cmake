# Test models of the engine and recognition tests, generated at build time into
# <build>/tests/data/models by tests/models/make_test_models.py (needs Python's onnx and numpy).
# Without them the model-based test cases skip.

set(ORVANE_TEST_MODEL_DIR ${CMAKE_CURRENT_BINARY_DIR}/data/models)
set(ORVANE_TEST_MODEL_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/models/make_test_models.py)
set(ORVANE_TEST_MODELS
  recognition.onnx recognition_vocab.txt int64_input.onnx scalar_output.onnx double_input.onnx
  int64_output.onnx string_output.onnx two_inputs.onnx stored_weights.onnx
  small_geometry/model.onnx small_geometry/units.txt)

find_program(ORVANE_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT ORVANE_PYTHON3)
  find_program(ORVANE_PYTHON3 NAMES python3)
endif()
set(ORVANE_HAVE_TEST_MODELS OFF)
if(ORVANE_PYTHON3)
  execute_process(COMMAND ${ORVANE_PYTHON3} -c "import onnx, numpy"
    RESULT_VARIABLE _onnx_missing OUTPUT_QUIET ERROR_QUIET)
  if(_onnx_missing EQUAL 0)
    set(ORVANE_HAVE_TEST_MODELS ON)
  endif()
endif()

if(ORVANE_HAVE_TEST_MODELS)
  list(TRANSFORM ORVANE_TEST_MODELS PREPEND ${ORVANE_TEST_MODEL_DIR}/ OUTPUT_VARIABLE _model_files)
  add_custom_command(
    OUTPUT ${_model_files}
    COMMAND ${ORVANE_PYTHON3} ${ORVANE_TEST_MODEL_SCRIPT} ${ORVANE_TEST_MODEL_DIR}
    DEPENDS ${ORVANE_TEST_MODEL_SCRIPT}
    COMMENT "Generating test models"
    VERBATIM)
  add_custom_target(orvane_test_models ALL DEPENDS ${_model_files})
  foreach(test_target onnx_engine_test engine_factory_test embedded_assets_test)
    if(TARGET ${test_target})
      add_dependencies(${test_target} orvane_test_models)
    endif()
  endforeach()
else()
  message(WARNING "Python 3 with onnx and numpy not found: model-based engine tests will skip")
endif()

# embedded_assets_test also carries the assembler object under the prefix orvane_test, built from
# two generated test files, to check the embedding itself while the product assets are absent.
if(TARGET embedded_assets_test)
  if(ORVANE_HAVE_TEST_MODELS)
    orvane_embed_assets(embedded_assets_test PREFIX orvane_test
      MODEL ${ORVANE_TEST_MODEL_DIR}/recognition.onnx
      VOCAB ${ORVANE_TEST_MODEL_DIR}/recognition_vocab.txt)
    target_compile_definitions(embedded_assets_test PRIVATE ORVANE_TEST_ASSETS_EMBEDDED=1)
  else()
    orvane_embed_assets(embedded_assets_test PREFIX orvane_test)
  endif()
endif()

# A build with ONNX Runtime must hand out real ONNX engines; the tests then refuse to skip.
if(ORVANE_WITH_ONNXRUNTIME)
  foreach(test_target onnx_engine_test engine_factory_test)
    if(TARGET ${test_target})
      target_compile_definitions(${test_target} PRIVATE ORVANE_TEST_EXPECT_ONNX=1)
    endif()
  endforeach()
endif()
