// Status: the result of every fallible operation of the library, returned by value.
#ifndef ORVANE_STATUS_H_
#define ORVANE_STATUS_H_

#include <cstdint>
#include <string>
#include <utility>

namespace orvane {

// Codes in use: 0 success; -1 unacceptable input; -2 named item not found; -3 file or data error;
// -4 HTTP transport failure; -5 checksum mismatch after download; -6 engine or model failure.
// Callers treat any non-zero code as failure and pass the message on.
struct Status {
  int32_t code = 0;
  std::string message;  // empty on success

  Status() = default;
  Status(int32_t c, std::string m) : code(c), message(std::move(m)) {}

  bool ok() const { return code == 0; }
};

}  // namespace orvane

#endif  // ORVANE_STATUS_H_
