/* liborvane: streaming Vietnamese speech recognition, C interface.
 *
 * Conventions
 *  - Handles. orvane_pipeline_t and orvane_session_t are opaque. A handle is valid from the call
 *    that created it until the matching free function; the library does not validate handles
 *    beyond a test for null.
 *  - Ownership. The host frees pipelines with orvane_pipeline_free and sessions with
 *    orvane_session_free, sessions first. (A session keeps what it needs of its pipeline alive, so
 *    freeing in the other order is not a memory error, but it is outside the contract.)
 *    Text arguments are copied during the call; audio is consumed during the call; the library
 *    keeps no pointer to host memory after a function returns.
 *  - Returned text. orvane_partial_result, orvane_result, orvane_final_result,
 *    orvane_transcribe_file, orvane_transcribe_buffer, orvane_default_cache_dir,
 *    orvane_list_modules and orvane_list_presets return a pointer into a per-thread buffer. It
 *    stays valid until the next call of any of these eight functions on the same thread; copy it to
 *    keep it longer; never free it. orvane_last_error points into the per-thread last-error text,
 *    valid until the next failure on that thread. orvane_version returns constant text.
 *  - Return codes. 0 is success. -1 means a required pointer argument was null (the last error is
 *    then left unchanged). Other negative values are failure codes: -2 named item not found,
 *    -3 file or data error, -4 HTTP transport failure, -5 checksum mismatch, -6 engine or model
 *    failure; orvane_last_error() then describes the failure. A success never clears the last error.
 *  - Threads. The library starts no thread of its own. Any thread may call any function. Calls on
 *    one session are serialised by the session; distinct sessions may run on distinct threads at
 *    the same time. Calls that configure or build one pipeline must not overlap each other or the
 *    creation of its sessions.
 *  - Errors never leave as exceptions, and the library never ends the process.
 *  - Results are UTF-8 JSON documents: {"text":...,"partial":...,"is_final":...,...}.
 */
#ifndef ORVANE_H_
#define ORVANE_H_

#if defined(_WIN32)
#  define ORVANE_C_API __declspec(dllimport)
#else
#  define ORVANE_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct orvane_pipeline orvane_pipeline_t;
typedef struct orvane_session orvane_session_t;

/* ---- Pipelines ---------------------------------------------------------------------------- */

/* An empty pipeline. Never returns null. */
ORVANE_C_API orvane_pipeline_t* orvane_pipeline_new(void);

/* A built pipeline from a preset ("transcribe", "transcribe-rich", "meeting", "analytics").
 * Returns null on failure: a null name ("preset name is null"), an unknown preset or a failed build
 * ("preset not found or build failed: <name>"). */
ORVANE_C_API orvane_pipeline_t* orvane_pipeline_preset(const char* preset_name);

/* Appends the registered module `module_name` with its configuration text (null means "{}").
 * The text is read at build time. The recogniser "orvane" takes a JSON object; its key "model_dir"
 * names a model folder (model.onnx and units.txt) to load instead of the embedded model, for example
 * {"model_dir":"/opt/models/vi"}; a bad folder or a text that is not an object fails the build.
 * Returns 0, -1 for a null handle or name, -2 for an unknown module ("unknown module: <name>"). */
ORVANE_C_API int orvane_pipeline_add_module(orvane_pipeline_t* pipeline, const char* module_name,
                                            const char* config_json);

/* Inference backend for the next build: 1 ONNX Runtime, 2 placeholder (no-op), other automatic.
 * Returns 0, or -1 for a null handle. */
ORVANE_C_API int orvane_pipeline_set_backend(orvane_pipeline_t* pipeline, int backend);

/* Cache directory for downloadable model bundles. Returns 0, or -1 for a null argument. */
ORVANE_C_API int orvane_pipeline_set_model_dir(orvane_pipeline_t* pipeline, const char* dir);

/* Creates the engine and initialises every module. Returns 0, -1 for a null handle, or the failing
 * module's code with the last error "module init failed [<name>]: <message>". */
ORVANE_C_API int orvane_pipeline_build(orvane_pipeline_t* pipeline);

/* Destroys the pipeline. Null is ignored. */
ORVANE_C_API void orvane_pipeline_free(orvane_pipeline_t* pipeline);

/* ---- Sessions and audio ------------------------------------------------------------------- */

/* A session for mono audio at `sample_rate` Hz (any rate; resampled to 16 kHz). Builds the pipeline
 * first if it never was. Returns null for a null handle (last error unchanged), or with the last error
 * "session creation failed" when the build fails or the rate is not a finite value of at least 1 Hz
 * that fits an int. */
ORVANE_C_API orvane_session_t* orvane_session_new(orvane_pipeline_t* pipeline, float sample_rate);

/* Destroys the session. Null is ignored. */
ORVANE_C_API void orvane_session_free(orvane_session_t* session);

/* Starts a new stream on the same session. Null is ignored. */
ORVANE_C_API void orvane_session_reset(orvane_session_t* session);

/* Hotwords of this session: phrases the recogniser favours (names, product names, commands), given
 * as UTF-8 text with one phrase per line (words separated by spaces; capitals allowed; blank lines
 * skipped). `score` is the bonus per matched unit of a phrase (counted once two units of it have
 * matched), from 0 to 10; 3 is the recogniser's default. They replace the pipeline's hotwords
 * (configuration member "hotwords") for this session only, apply from the next audio on and
 * survive orvane_session_reset; "" removes them.
 * Returns 0; -1 for a null handle or text (last error unchanged); -2 when the pipeline has no
 * recogniser; -3 with the last error "hotwords_score must be a number from 0 to 10" or
 * "hotwords cannot be written with the units: " followed by the refused phrases in quotes (the
 * session's hotwords are then unchanged). */
ORVANE_C_API int orvane_session_set_hotwords(orvane_session_t* session, const char* phrases,
                                             float score);

/* Pushes `num_samples` signed 16-bit samples. Always returns 0; a null handle or pointer, or a
 * negative count, does nothing. */
ORVANE_C_API int orvane_accept_waveform_s16(orvane_session_t* session, const short* samples,
                                            int num_samples);

/* Pushes `num_samples` float samples nominally in -1..1 (loud or clipped audio may go beyond).
 * Floats carrying 16-bit values (-32768..32767) are accepted too: the first finite sample of
 * magnitude above 2 (and at most 65536) marks the stream as such, and from that call on until
 * orvane_session_reset float samples are divided by 32768. 16-bit input is never affected.
 * Always returns 0; a null handle or pointer, or a negative count, does nothing. */
ORVANE_C_API int orvane_accept_waveform_f32(orvane_session_t* session, const float* samples,
                                            int num_samples);

/* Pushes little-endian signed 16-bit samples given as bytes (an odd last byte is ignored). Always
 * returns 0; a null handle or pointer, or a negative count, does nothing. */
ORVANE_C_API int orvane_accept_waveform_bytes(orvane_session_t* session, const void* bytes,
                                              int num_bytes);

/* ---- Results (returned text: see Conventions) --------------------------------------------- */

/* The current document; "{}" (constant) for a null session. */
ORVANE_C_API const char* orvane_partial_result(orvane_session_t* session);
/* Same as orvane_partial_result. */
ORVANE_C_API const char* orvane_result(orvane_session_t* session);
/* Finalises the session on the first call and returns the final document; "{}" for a null session. */
ORVANE_C_API const char* orvane_final_result(orvane_session_t* session);

/* Not implemented: always returns null with the last error
 * "result_field traversal not yet implemented; parse JSON in caller". */
ORVANE_C_API const char* orvane_result_field(const char* result_json, const char* field_path);

/* ---- One-shot calls, catalogues, models --------------------------------------------------- */

/* The final document of a WAV file (16-, 24- or 32-bit integer PCM or 32-bit float, plain or
 * WAVE_FORMAT_EXTENSIBLE), or {"is_final":true,"error":"..."} when it cannot
 * be transcribed. Returns null only for a null handle or path. */
ORVANE_C_API const char* orvane_transcribe_file(orvane_pipeline_t* pipeline, const char* path);

/* The final document of `num_samples` 16-bit samples at `sample_rate` Hz, or an error document.
 * Returns null only for a null handle or pointer. */
ORVANE_C_API const char* orvane_transcribe_buffer(orvane_pipeline_t* pipeline, const short* samples,
                                                  int num_samples, float sample_rate);

/* Ensures the model bundles of the pipeline's modules. Returns 0 (problems only go to the log), or
 * -1 for a null handle. */
ORVANE_C_API int orvane_ensure_models(orvane_pipeline_t* pipeline);

/* The default model cache directory (ORVANE_MODEL_DIR, XDG_CACHE_HOME or HOME based). */
ORVANE_C_API const char* orvane_default_cache_dir(void);

/* JSON arrays of the registered module and preset names, in no particular order. */
ORVANE_C_API const char* orvane_list_modules(void);
ORVANE_C_API const char* orvane_list_presets(void);

/* ---- Process-wide ------------------------------------------------------------------------- */

/* Minimum log level: 0 TRACE, 1 DEBUG, 2 INFO (default), 3 WARN, 4 ERROR, 5 or more silent. Lines
 * go to the standard error stream as "[orvane][LEVEL][tag] message", or to the log callback. */
ORVANE_C_API void orvane_set_log_level(int level);

/* Receives one log line: `level` 0 TRACE .. 4 ERROR, `tag` the reporting component ("api",
 * "session", "orvane", ...), `message` the text without prefix or line feed; both texts are UTF-8,
 * never null, and valid only during the call. `user_data` is the pointer given with the callback. */
typedef void (*orvane_log_callback_t)(int level, const char* tag, const char* message,
                                      void* user_data);

/* Routes every log line that passes the log level to `callback` instead of the standard error
 * stream; null restores the standard error stream. Cannot fail; returns nothing.
 * Thread-safe: the library calls the callback on whichever thread logs, one line at a time (calls
 * never overlap). When this function returns, the previous callback is no longer running and is
 * never called again, so its user data may then be released. A callback may call orvane functions,
 * but the lines these log while it runs go to the standard error stream. It must not unwind into
 * the library (a C++ exception it throws is caught and the line dropped). */
ORVANE_C_API void orvane_set_log_callback(orvane_log_callback_t callback, void* user_data);

/* "0.1.0". */
ORVANE_C_API const char* orvane_version(void);

/* The calling thread's last failure text; empty (never null) when none occurred. */
ORVANE_C_API const char* orvane_last_error(void);

#ifdef __cplusplus
}
#endif

#endif /* ORVANE_H_ */
