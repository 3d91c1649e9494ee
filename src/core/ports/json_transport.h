#pragma once
// The synchronous HTTPS POST of a JSON body that the configuration request and the event delivery use.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zelvane {

// Header names and values, in sending order.
using HeaderList = std::vector<std::pair<std::wstring, std::wstring>>;

class JsonTransport {
 public:
  virtual ~JsonTransport() = default;
  // Posts `body` (UTF-8 JSON) to the host and path of `url`, always over TLS on port 443. The caller's
  // headers go first. The response body is appended to `response` and the HTTP status is stored in
  // `status`. Returns true once a response was received, whatever its status; throws OrvaneException
  // otherwise.
  virtual bool PostJson(const std::wstring& url, const std::string& body, HeaderList headers, std::string& response,
                        std::uint32_t& status) = 0;
};

}  // namespace zelvane
