// HttpClient: the download interface of the model manager. This library is built without an HTTP
// transport, so both operations log one warning (tag "http") and fail with code -4.
#ifndef ORVANE_HTTP_CLIENT_H_
#define ORVANE_HTTP_CLIENT_H_

#include <memory>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/status.h"

namespace orvane {

// Owned by one model manager; neither copied nor shared. Calls are independent of each other.
class ORVANE_EXPORT HttpClient {
 public:
  HttpClient();
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Code 0 would mean `*body` holds the response bytes. Here: -4, `*body` untouched.
  Status Get(const std::string& url, std::vector<unsigned char>* body);

  // Code 0 would mean the file at `path` holds the resource. Here: -4, no file created or changed.
  Status Download(const std::string& url, const std::string& path);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_HTTP_CLIENT_H_
