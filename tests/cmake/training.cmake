# The model-training recipe: text normalisation and unit scheme (pure Python, standard library only),
# and, where Debian's PyTorch is installed (scripts/bootstrap --training), growing and averaging the
# model's checkpoints.
find_program(ORVANE_TRAINING_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(ORVANE_TRAINING_PYTHON3)
  add_test(NAME training_vntext_test
           COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/vntext_test.py)
  execute_process(COMMAND ${ORVANE_TRAINING_PYTHON3} -c "import torch"
                  RESULT_VARIABLE ORVANE_TRAINING_NO_TORCH OUTPUT_QUIET ERROR_QUIET)
  if(ORVANE_TRAINING_NO_TORCH EQUAL 0)
    add_test(NAME training_model_test
             COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/model_test.py)
    set_tests_properties(training_model_test PROPERTIES
                         ENVIRONMENT "OMP_WAIT_POLICY=PASSIVE;OPENBLAS_NUM_THREADS=1;OMP_NUM_THREADS=1")
  endif()
endif()
