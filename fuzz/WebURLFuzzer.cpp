// Fuzz target: the URL functions on arbitrary text. Beyond not crashing:
// domain normalisation is idempotent, the normalised registrable domain is its
// own registrable domain, a safe page address is itself safe, and a directory
// URL parses.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Sablekit/capture/CapturePrivacyPolicy.h"
#include "Sablekit/common/WebURL.h"
#include "Sablekit/context/browser/BrowserContextService.h"

namespace {

void require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace Sablekit;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (const std::optional<WebURL> url = WebURL::parse(text)) {
    require(url->text() == text);
    (void)url->scheme();
    (void)url->userInfo();
    (void)url->port();
    (void)url->path();
    (void)url->query();
    (void)url->fragment();
    (void)url->host();
    const std::optional<WebURL> again = WebURL::parse(url->text());
    require(again && again->percentEncodedHost() == url->percentEncodedHost() && again->path() == url->path());
  }
  if (const std::optional<std::string> directory = WebURL::directoryFileURL(text)) {
    require(WebURL::parse(*directory).has_value());
  }

  if (const std::optional<std::string> domain = CapturePrivacyPolicy::normalizeDomain(text)) {
    require(!domain->empty());
    require(CapturePrivacyPolicy::normalizeDomain(*domain) == domain);
  }
  if (const std::optional<std::string> registrable = CapturePrivacyPolicy::registrableDomain(text)) {
    // Normalising keeps white space inside a name, so a label may begin with
    // it ("a.\tb.ep" gives "\tb.ep"), and normalising that answer trims it
    // again. Such names are no host names; once normalised the answer is its
    // own registrable domain.
    const std::optional<std::string> normalised = CapturePrivacyPolicy::normalizeDomain(*registrable);
    require(normalised && CapturePrivacyPolicy::registrableDomain(*normalised) == normalised);
  }
  (void)CapturePrivacyPolicy::domain(text);

  if (const std::optional<std::string> safe = BrowserContextService::normalizedSafeWebURL(text)) {
    require(BrowserContextService::normalizedSafeWebURL(*safe) == safe);
    (void)CapturePrivacyPolicy::domain(*safe);
  }
  return 0;
}
