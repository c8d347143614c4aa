// The transport-less HTTP client: every request is refused with code -4 and one warning line.
#include "orvane/http_client.h"

#include "orvane/logger.h"

namespace orvane {
namespace {
const char kNoTransport[] = "http_client: built without libcurl";
}  // namespace

// Empty: a transport would keep its connection state here.
struct HttpClient::Impl {};

HttpClient::HttpClient() : impl_(new Impl) {}
HttpClient::~HttpClient() = default;

Status HttpClient::Get(const std::string& url, std::vector<unsigned char>* /*body*/) {
  Logger::Instance().Log(Warn, "http", "HTTP disabled at build time; url=" + url);
  return Status(-4, kNoTransport);
}

Status HttpClient::Download(const std::string& url, const std::string& path) {
  Logger::Instance().Log(Warn, "http",
                         "HTTP disabled at build time; would download " + url + " -> " + path);
  return Status(-4, kNoTransport);
}

}  // namespace orvane
