/* Transcribes WAV files with the C interface of liborvane and prints each final result document.
 *
 *   cc transcribe.c -o transcribe $(pkg-config --cflags --libs orvane)
 *   ./transcribe recording.wav
 */
#include <stdio.h>
#include <string.h>

#include <orvane.h>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s FILE.wav...\n", argv[0]);
    return 2;
  }
  orvane_pipeline_t* pipeline = orvane_pipeline_preset("transcribe");
  if (pipeline == NULL) {
    fprintf(stderr, "cannot build the pipeline: %s\n", orvane_last_error());
    return 1;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    /* The returned text lives in a per-thread buffer until the next such call: print it now. */
    const char* json = orvane_transcribe_file(pipeline, argv[i]); /* null only for null args */
    printf("%s\n", json);
    /* A file that cannot be transcribed gives {"is_final":true,"error":"..."}. */
    if (strncmp(json, "{\"is_final\":true,\"error\":", 25) == 0) status = 1;
  }
  orvane_pipeline_free(pipeline);
  return status;
}
