#pragma once
// The HTTPS JSON POST by WinHTTP. Its source includes <winhttp.h>, which cannot share a translation
// unit with <wininet.h>.

#include "ports/json_transport.h"
#include "ports/machine.h"

namespace zelvane::win32 {

class WinHttpTransport : public JsonTransport {
 public:
  explicit WinHttpTransport(Machine& machine) : machine_(machine) {}

  bool PostJson(const std::wstring& url, const std::string& body, HeaderList headers, std::string& response,
                std::uint32_t& status) override;

 private:
  Machine& machine_;
};

}  // namespace zelvane::win32
