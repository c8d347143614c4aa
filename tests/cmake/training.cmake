# The model-training recipe's text normalisation and unit scheme (pure Python, standard library only).
find_program(ORVANE_TRAINING_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(ORVANE_TRAINING_PYTHON3)
  add_test(NAME training_vntext_test
           COMMAND ${ORVANE_TRAINING_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/training/vntext_test.py)
endif()
