// FUZZ_CHECK: an invariant of a fuzz target. A violation prints the condition and aborts, which
// libFuzzer records as a crash together with the input that caused it.
#ifndef ORVANE_FUZZ_FUZZ_CHECK_H_
#define ORVANE_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                          \
  do {                                                                            \
    if (!(cond)) {                                                                \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

#endif  // ORVANE_FUZZ_FUZZ_CHECK_H_
