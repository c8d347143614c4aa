# Embedded model, vocabulary and language model. src/engine/embedded_assets.S pulls
# assets/asr_model.onnx, assets/asr_vocab.txt and assets/asr_lm.bin into orvane_internal with .incbin; a missing file gives an empty blob (size 0)
# and the build goes on. A changed asset re-assembles the object and relinks the library; adding or
# removing an asset changes the assets/ folder, which makes CMake configure again.
#
# orvane_embed_assets(<target> PREFIX <symbol prefix> [MODEL <file>] [VOCAB <file>] [LM <file>]) adds such an
# object to any target, e.g. a test that embeds small assets of its own under another prefix.

set(ORVANE_ASSET_DIR ${PROJECT_SOURCE_DIR}/assets CACHE PATH "Folder of the embedded model and vocabulary")
set(ORVANE_ASSET_SOURCE ${PROJECT_SOURCE_DIR}/src/engine/embedded_assets.S)

function(orvane_embed_assets target)
  cmake_parse_arguments(ARG "" "PREFIX;MODEL;VOCAB;LM;SOURCE" "" ${ARGN})
  if(NOT ARG_PREFIX)
    message(FATAL_ERROR "orvane_embed_assets: PREFIX is required")
  endif()
  # A copy of the assembler source per target, so each object has its own definitions.
  if(ARG_SOURCE)
    set(source ${ARG_SOURCE})
  else()
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_${ARG_PREFIX}_assets.S)
    configure_file(${ORVANE_ASSET_SOURCE} ${source} COPYONLY)
  endif()
  set(defs "ORVANE_ASSET_PREFIX=${ARG_PREFIX}")
  set(deps "")
  foreach(kind MODEL VOCAB LM)
    if(ARG_${kind})
      list(APPEND defs "ORVANE_ASSET_${kind}_FILE=\"${ARG_${kind}}\"")
      list(APPEND deps ${ARG_${kind}})
    endif()
  endforeach()
  target_sources(${target} PRIVATE ${source})
  set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES
    LANGUAGE ASM COMPILE_DEFINITIONS "${defs}" OBJECT_DEPENDS "${deps}")
endfunction()

set(_orvane_model ${ORVANE_ASSET_DIR}/asr_model.onnx)
set(_orvane_vocab ${ORVANE_ASSET_DIR}/asr_vocab.txt)
set(_orvane_lm ${ORVANE_ASSET_DIR}/asr_lm.bin)
set(_orvane_asset_args PREFIX orvane_asr SOURCE ${ORVANE_ASSET_SOURCE})
foreach(kind model vocab lm)
  string(TOUPPER ${kind} _kind)
  if(EXISTS ${_orvane_${kind}})
    list(APPEND _orvane_asset_args ${_kind} ${_orvane_${kind}})
    message(STATUS "Embedded ${kind}: ${_orvane_${kind}}")
  else()
    message(STATUS "Embedded ${kind}: none (${_orvane_${kind}} is absent)")
  endif()
endforeach()
orvane_embed_assets(orvane_internal ${_orvane_asset_args})
if(IS_DIRECTORY ${ORVANE_ASSET_DIR})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ORVANE_ASSET_DIR})
endif()
unset(_orvane_asset_args)
