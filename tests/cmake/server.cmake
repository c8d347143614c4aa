# The WebSocket server of the Python package (python/orvane/server.py) and its page: protocol
# tests with Python clients, a short load check, and the page in headless Chromium
# (tests/server/, pytest). Python cannot load a sanitizer build of the library, so these run in
# the plain build only.
find_program(ORVANE_SERVER_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(ORVANE_SERVER_PYTHON3 AND NOT ORVANE_SANITIZE)
  foreach(server_case protocol load page)
    add_test(NAME orvane_server_${server_case}
             COMMAND ${ORVANE_SERVER_PYTHON3} -m pytest -q -p no:cacheprovider
                     ${CMAKE_CURRENT_SOURCE_DIR}/server/test_${server_case}.py)
    set_tests_properties(orvane_server_${server_case} PROPERTIES
      ENVIRONMENT "ORVANE_LIBRARY=$<TARGET_FILE:orvane>;PYTHONPATH=${PROJECT_SOURCE_DIR}/python;ORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
      TIMEOUT 300)
  endforeach()
  # Streams at real-time pace: alone, so the other tests do not slow the clients down.
  set_tests_properties(orvane_server_load PROPERTIES RUN_SERIAL TRUE)
endif()
