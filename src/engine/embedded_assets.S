/* The embedded acoustic model, vocabulary and syllable language model: the asset files are pulled
   into read-only data with .incbin. Macros given by the build (cmake/OrvaneAssets.cmake):
     ORVANE_ASSET_PREFIX     symbol prefix; the library uses orvane_asr, giving orvane_asr_model_onnx,
                             orvane_asr_model_onnx_size, orvane_asr_vocab, orvane_asr_vocab_size
     ORVANE_ASSET_MODEL_FILE absolute path of the ONNX model, as a string; absent: empty blob
     ORVANE_ASSET_VOCAB_FILE absolute path of the vocabulary text, as a string; absent: empty blob
     ORVANE_ASSET_LM_FILE    absolute path of the binary language model; absent: empty blob
   Every symbol starts on a 16-byte boundary; the sizes are unsigned 64-bit values placed after the
   vocabulary, model size first. The vocabulary carries no terminating NUL. The language model
   (<prefix>_lm) and its size (<prefix>_lm_size) follow. */

#ifndef ORVANE_ASSET_PREFIX
#define ORVANE_ASSET_PREFIX orvane_asr
#endif

#define ORVANE_CAT2(a, b) a##b
#define ORVANE_CAT(a, b) ORVANE_CAT2(a, b)
#define ORVANE_SYM(suffix) ORVANE_CAT(ORVANE_ASSET_PREFIX, suffix)

#define ORVANE_DATA_SYMBOL(name) \
  .globl name;                    \
  .type name, %object;            \
  .balign 16;                     \
  name:

  .section .rodata.orvane_assets, "a"

ORVANE_DATA_SYMBOL(ORVANE_SYM(_model_onnx))
#ifdef ORVANE_ASSET_MODEL_FILE
  .incbin ORVANE_ASSET_MODEL_FILE
#endif
.Lorvane_model_end:
  .size ORVANE_SYM(_model_onnx), .Lorvane_model_end - ORVANE_SYM(_model_onnx)

ORVANE_DATA_SYMBOL(ORVANE_SYM(_vocab))
#ifdef ORVANE_ASSET_VOCAB_FILE
  .incbin ORVANE_ASSET_VOCAB_FILE
#endif
.Lorvane_vocab_end:
  .size ORVANE_SYM(_vocab), .Lorvane_vocab_end - ORVANE_SYM(_vocab)

ORVANE_DATA_SYMBOL(ORVANE_SYM(_model_onnx_size))
  .quad .Lorvane_model_end - ORVANE_SYM(_model_onnx)
  .size ORVANE_SYM(_model_onnx_size), 8

ORVANE_DATA_SYMBOL(ORVANE_SYM(_vocab_size))
  .quad .Lorvane_vocab_end - ORVANE_SYM(_vocab)
  .size ORVANE_SYM(_vocab_size), 8

ORVANE_DATA_SYMBOL(ORVANE_SYM(_lm))
#ifdef ORVANE_ASSET_LM_FILE
  .incbin ORVANE_ASSET_LM_FILE
#endif
.Lorvane_lm_end:
  .size ORVANE_SYM(_lm), .Lorvane_lm_end - ORVANE_SYM(_lm)

ORVANE_DATA_SYMBOL(ORVANE_SYM(_lm_size))
  .quad .Lorvane_lm_end - ORVANE_SYM(_lm)
  .size ORVANE_SYM(_lm_size), 8

/* No executable stack for the objects that include this one. */
#if defined(__linux__) && defined(__ELF__)
  .section .note.GNU-stack, "", %progbits
#endif
