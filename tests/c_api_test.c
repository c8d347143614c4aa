/* The C interface from a C program: it compiles as C, links against the shared library, and
 * behaves as documented, including the per-thread last error and returned text. */
#include "orvane.h"

#include <math.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                       \
  do {                                                                    \
    if (!(cond)) {                                                        \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                         \
    }                                                                     \
  } while (0)

#define CHECK_STR(a, b) CHECK((a) != NULL && strcmp((a), (b)) == 0)

static void test_version_and_errors(void) {
  CHECK_STR(orvane_version(), "0.1.0");
  CHECK(orvane_last_error() != NULL);
  CHECK_STR(orvane_last_error(), "");

  CHECK(orvane_pipeline_build(NULL) == -1);
  CHECK_STR(orvane_last_error(), "");

  CHECK(orvane_pipeline_preset(NULL) == NULL);
  CHECK_STR(orvane_last_error(), "preset name is null");
  CHECK(orvane_pipeline_preset("Transcribe") == NULL);
  CHECK_STR(orvane_last_error(), "preset not found or build failed: Transcribe");

  CHECK(orvane_result_field("{}", "text") == NULL);
  CHECK_STR(orvane_last_error(), "result_field traversal not yet implemented; parse JSON in caller");
}

static void test_pipeline_configuration(void) {
  orvane_pipeline_t* p = orvane_pipeline_new();
  CHECK(p != NULL);
  CHECK(orvane_pipeline_add_module(p, "no-such-module", "{}") == -2);
  CHECK_STR(orvane_last_error(), "unknown module: no-such-module");
  CHECK(orvane_pipeline_add_module(p, "vad", NULL) == 0);
  /* A success leaves the last failure in place. */
  CHECK_STR(orvane_last_error(), "unknown module: no-such-module");
  CHECK(orvane_pipeline_add_module(NULL, "vad", NULL) == -1);
  CHECK(orvane_pipeline_add_module(p, NULL, NULL) == -1);
  CHECK(orvane_pipeline_set_backend(p, 2) == 0);
  CHECK(orvane_pipeline_set_backend(NULL, 2) == -1);
  CHECK(orvane_pipeline_set_model_dir(p, NULL) == -1);
  CHECK(orvane_pipeline_build(p) == 0);
  CHECK(orvane_ensure_models(p) == 0);
  CHECK(orvane_ensure_models(NULL) == -1);
  orvane_pipeline_free(p);
  orvane_pipeline_free(NULL);
}

static void test_session_null_and_bad_input(void) {
  orvane_pipeline_t* p = orvane_pipeline_new();
  orvane_session_t* s;
  short pcm[4] = {0, 100, -100, 0};
  CHECK(orvane_session_new(NULL, 16000.0f) == NULL);
  CHECK_STR(orvane_partial_result(NULL), "{}");
  CHECK_STR(orvane_result(NULL), "{}");
  CHECK_STR(orvane_final_result(NULL), "{}");
  orvane_session_free(NULL);
  orvane_session_reset(NULL);

  CHECK(orvane_session_new(p, 0.0f) == NULL);
  CHECK_STR(orvane_last_error(), "session creation failed");
  CHECK(orvane_session_new(p, -8000.0f) == NULL);
  CHECK(orvane_session_new(p, NAN) == NULL);
  CHECK(orvane_session_new(p, INFINITY) == NULL);
  CHECK(orvane_session_new(p, 1e30f) == NULL);

  s = orvane_session_new(p, 16000.0f);
  CHECK(s != NULL);
  CHECK(orvane_accept_waveform_s16(s, NULL, 10) == 0);
  CHECK(orvane_accept_waveform_f32(s, NULL, 100) == 0);
  CHECK(orvane_accept_waveform_s16(s, pcm, -5) == 0);
  CHECK(orvane_accept_waveform_bytes(s, pcm, -1) == 0);
  CHECK(orvane_accept_waveform_bytes(s, pcm, 7) == 0);
  CHECK(orvane_accept_waveform_s16(s, pcm, 4) == 0);
  CHECK_STR(orvane_partial_result(s), "{\"is_final\":false}");
  CHECK_STR(orvane_final_result(s), "{\"is_final\":true}");
  orvane_session_reset(s);
  CHECK_STR(orvane_partial_result(s), "{\"is_final\":false}");
  orvane_session_free(s);
  orvane_pipeline_free(p);
}

static void test_returned_text_is_per_call(void) {
  const char* modules = orvane_list_modules();
  char copy[4096];
  CHECK(modules != NULL && modules[0] == '[');
  strncpy(copy, modules, sizeof copy - 1);
  copy[sizeof copy - 1] = '\0';
  CHECK(strstr(copy, "\"orvane\"") != NULL);
  CHECK(strstr(copy, "\"vad\"") != NULL);
  CHECK(strstr(orvane_list_presets(), "\"transcribe-rich\"") != NULL);
  CHECK(orvane_default_cache_dir() != NULL);
}

static void test_one_shot_calls(void) {
  orvane_pipeline_t* p = orvane_pipeline_new();
  short pcm[160] = {0};
  const char* doc;
  CHECK(orvane_transcribe_file(p, NULL) == NULL);
  CHECK(orvane_transcribe_file(NULL, "x.wav") == NULL);
  CHECK(orvane_transcribe_buffer(p, NULL, 10, 16000.0f) == NULL);
  doc = orvane_transcribe_file(p, "/nonexistent/file.wav");
  CHECK(doc != NULL && strncmp(doc, "{\"is_final\":true,\"error\":", 25) == 0);
  doc = orvane_transcribe_buffer(p, pcm, 160, 8000.0f);
  CHECK_STR(doc, "{\"is_final\":true}");
  doc = orvane_transcribe_buffer(p, pcm, 160, 0.0f);
  CHECK_STR(doc, "{\"is_final\":true,\"error\":\"session creation failed\"}");
  orvane_pipeline_free(p);
}

/* Each thread records a failure of its own and keeps two returned texts apart. */
struct thread_result {
  int index;
  int ok;
};

static void* thread_main(void* arg) {
  struct thread_result* r = (struct thread_result*)arg;
  char name[64];
  char expected[128];
  const char* presets;
  int i;
  r->ok = 1;
  if (strcmp(orvane_last_error(), "") != 0) r->ok = 0;
  snprintf(name, sizeof name, "missing-%d", r->index);
  snprintf(expected, sizeof expected, "preset not found or build failed: %s", name);
  for (i = 0; i < 50; ++i) {
    if (orvane_pipeline_preset(name) != NULL) r->ok = 0;
    presets = orvane_list_presets();
    if (presets == NULL || presets[0] != '[') r->ok = 0;
    if (strcmp(orvane_last_error(), expected) != 0) r->ok = 0;
  }
  return NULL;
}

static void test_threads_keep_their_own_state(void) {
  pthread_t threads[4];
  struct thread_result results[4];
  int i;
  orvane_set_log_level(5); /* the failures above would log an error line each */
  for (i = 0; i < 4; ++i) {
    results[i].index = i;
    pthread_create(&threads[i], NULL, thread_main, &results[i]);
  }
  for (i = 0; i < 4; ++i) {
    pthread_join(threads[i], NULL);
    CHECK(results[i].ok);
  }
  orvane_set_log_level(2);
}

struct log_count {
  int lines;
  int last_level;
  char last_tag[16];
};

static void count_line(int level, const char* tag, const char* message, void* user_data) {
  struct log_count* count = (struct log_count*)user_data;
  (void)message;
  ++count->lines;
  count->last_level = level;
  snprintf(count->last_tag, sizeof(count->last_tag), "%s", tag);
}

static void test_log_callback(void) {
  struct log_count count = {0, -1, ""};
  orvane_set_log_callback(count_line, &count);
  CHECK(orvane_pipeline_preset(NULL) == NULL);
  orvane_set_log_callback(NULL, NULL);
  CHECK(count.lines == 1);
  CHECK(count.last_level == 4);
  CHECK_STR(count.last_tag, "api");
}

int main(void) {
  test_version_and_errors();
  test_log_callback();
  test_pipeline_configuration();
  test_session_null_and_bad_input();
  test_returned_text_is_per_call();
  test_one_shot_calls();
  test_threads_keep_their_own_state();
  if (failures != 0) {
    fprintf(stderr, "%d check(s) failed\n", failures);
    return 1;
  }
  printf("all C interface checks passed\n");
  return 0;
}
