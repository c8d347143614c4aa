// Md5: RFC 1321 message digest, fed incrementally and rendered as 32 lower-case hexadecimal digits.
#ifndef ORVANE_MD5_H_
#define ORVANE_MD5_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "orvane/export.h"

namespace orvane {

// A plain value: no heap memory and no lock, so one object belongs to one thread at a time.
// After Final (or HexDigest) the object is spent: updating or finalising again gives a wrong value.
class ORVANE_EXPORT Md5 {
 public:
  Md5();

  // Compresses one 64-byte block into the chaining state. Normally called only by Update.
  void Transform(const unsigned char* block);

  // Adds `len` bytes; any split of a message over several calls gives the same digest.
  void Update(const unsigned char* data, std::size_t len);

  // Pads the message and writes the 16 digest bytes to `out`.
  void Final(unsigned char* out);

  // Final, formatted as 32 lower-case hexadecimal digits.
  std::string HexDigest();

  static std::string HashBytes(const unsigned char* data, std::size_t len);

  // Digest of a file's content, read in 64 KiB steps. The empty text when the file cannot be
  // opened or a read fails: it never equals a real digest, so callers treat the file as damaged.
  static std::string HashFile(const std::string& path);

 private:
  uint32_t state_[4];
  uint64_t bit_count_;        // message length so far, in bits (modulo 2^64)
  unsigned char buffer_[64];  // bytes waiting for a full block
  std::size_t buffered_;      // 0..63 between calls
};

}  // namespace orvane

#endif  // ORVANE_MD5_H_
