# The model-training recipe: text normalisation and unit scheme (pure Python, standard library only),
# the Festival voices' Vietnamese phones and the tone probe's scoring (NumPy),
# corpus preparation where sox is installed, and, where Debian's PyTorch is installed too
# (scripts/bootstrap --training), growing and averaging the model's checkpoints and the
# bring-your-own-corpus path end to end.
find_program(ORVANE_TRAINING_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(ORVANE_TRAINING_SOX sox)
if(ORVANE_TRAINING_PYTHON3)
  add_test(NAME training_vntext_test
           COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/vntext_test.py)
  if(ORVANE_TRAINING_SOX)
    add_test(NAME training_prepare_corpus_test
             COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/prepare_corpus_test.py)
  endif()
  add_test(NAME training_tone_probe_test
           COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/tone_probe_test.py)
  # the voices themselves only where Festival is installed (scripts/bootstrap --training)
  add_test(NAME training_festival_tts_test
           COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/festival_tts_test.py)
  execute_process(COMMAND ${ORVANE_TRAINING_PYTHON3} -c "import torch"
                  RESULT_VARIABLE ORVANE_TRAINING_NO_TORCH OUTPUT_QUIET ERROR_QUIET)
  if(ORVANE_TRAINING_NO_TORCH EQUAL 0)
    add_test(NAME training_model_test
             COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/model_test.py)
    set_tests_properties(training_model_test PROPERTIES
                         ENVIRONMENT "OMP_WAIT_POLICY=PASSIVE;OPENBLAS_NUM_THREADS=1;OMP_NUM_THREADS=1")
    if(ORVANE_TRAINING_SOX AND ORVANE_BUILD_TOOLS)
      # needs the tools orvane-fbank and orvane of this build, and espeak-ng
      add_test(NAME training_byoc_check
               COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/training/byoc_check.sh ${PROJECT_BINARY_DIR}
                       ${CMAKE_CURRENT_BINARY_DIR}/byoc_check)
      set_tests_properties(training_byoc_check PROPERTIES LABELS long
                           ENVIRONMENT "OMP_WAIT_POLICY=PASSIVE;OPENBLAS_NUM_THREADS=1;OMP_NUM_THREADS=1")
    endif()
  endif()
endif()
