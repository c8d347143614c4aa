/* Links against the installed library and checks that it loads and answers. */
#include <orvane.h>
#include <stdio.h>
#include <string.h>

int main(void) {
  orvane_pipeline_t* p = orvane_pipeline_preset("transcribe");
  if (p == NULL || strcmp(orvane_version(), "0.1.0") != 0) return 1;
  puts(orvane_list_presets());
  orvane_pipeline_free(p);
  return 0;
}
