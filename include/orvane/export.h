// Symbol visibility for liborvane. The library is built with hidden visibility; only what is
// marked ORVANE_EXPORT (the C interface, the public classes, the embedded data symbols) is exported.
#ifndef ORVANE_EXPORT_H_
#define ORVANE_EXPORT_H_

#if defined(_WIN32)
#  if defined(ORVANE_BUILDING_LIBRARY)
#    define ORVANE_EXPORT __declspec(dllexport)
#  else
#    define ORVANE_EXPORT __declspec(dllimport)
#  endif
#else
#  define ORVANE_EXPORT __attribute__((visibility("default")))
#endif

#endif  // ORVANE_EXPORT_H_
