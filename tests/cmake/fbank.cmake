# orvane-fbank end to end: single-file and batch modes, the .npy it writes checked against the
# NumPy filterbank reference, and its refusals of unsupported input.
if(ORVANE_BUILD_TOOLS)
  add_test(NAME orvane_fbank_tool
           COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/fbank_tool_check.py
                   $<TARGET_FILE:orvane-fbank> ${CMAKE_CURRENT_BINARY_DIR}/fbank_tool)
endif()
