#include "Sablekit/common/WebURL.h"

#include <algorithm>
#include <memory>

#include <uriparser/Uri.h>

namespace Sablekit {
namespace {

struct UriDeleter {
  void operator()(UriUriA* uri) const {
    uriFreeUriMembersA(uri);
    delete uri;
  }
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

// Only well-formed escapes reach here (the parser rejects stray '%').
std::string percentDecoded(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      result.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      result.push_back(text[i]);
    }
  }
  return result;
}

}  // namespace

std::optional<WebURL> WebURL::parse(std::string_view text) {
  WebURL url{std::string(text)};
  const std::string_view whole = url.text_;

  // The parser validates; it cannot give offsets for every component (empty
  // ones point at a shared constant), so the offsets come from the generic
  // split of RFC 3986 appendix B, which is exact for text that validated.
  {
    std::unique_ptr<UriUriA, UriDeleter> uri(new UriUriA{});
    const char* errorPosition = nullptr;
    if (uriParseSingleUriExA(uri.get(), whole.data(), whole.data() + whole.size(), &errorPosition) != URI_SUCCESS) {
      return std::nullopt;
    }
    if (uri->scheme.first == nullptr) {
      return std::nullopt;  // a relative reference is not a URL of its own
    }
  }

  const std::size_t colon = whole.find(':');
  url.scheme_ = Range{0, colon};
  std::size_t position = colon + 1;

  if (whole.substr(position).starts_with("//")) {
    const std::size_t authorityStart = position + 2;
    const std::size_t authorityEnd = std::min(whole.find_first_of("/?#", authorityStart), whole.size());
    std::size_t hostStart = authorityStart;
    // Neither the host nor the port may contain "@", so the first one ends the user-info.
    const std::size_t at = whole.substr(0, authorityEnd).find('@', authorityStart);
    if (at != std::string_view::npos) {
      url.userInfo_ = Range{authorityStart, at - authorityStart};
      hostStart = at + 1;
    }
    std::size_t hostEnd = authorityEnd;
    if (hostStart < authorityEnd && whole[hostStart] == '[') {
      url.ipLiteral_ = true;
      hostEnd = whole.find(']', hostStart) + 1;
    } else {
      // A registered name or IPv4 address has no ":", so the last one starts the port.
      const std::size_t portColon = whole.substr(0, authorityEnd).rfind(':');
      if (portColon != std::string_view::npos && portColon >= hostStart) {
        hostEnd = portColon;
      }
    }
    url.host_ = Range{hostStart, hostEnd - hostStart};
    if (hostEnd < authorityEnd) {
      url.port_ = Range{hostEnd + 1, authorityEnd - hostEnd - 1};
    }
    position = authorityEnd;
  }

  const std::size_t pathEnd = std::min(whole.find_first_of("?#", position), whole.size());
  url.path_ = Range{position, pathEnd - position};
  position = pathEnd;
  if (position < whole.size() && whole[position] == '?') {
    const std::size_t queryEnd = std::min(whole.find('#', position), whole.size());
    url.query_ = Range{position + 1, queryEnd - position - 1};
    position = queryEnd;
  }
  if (position < whole.size()) {  // at "#"
    url.fragment_ = Range{position + 1, whole.size() - position - 1};
  }
  return url;
}

std::string WebURL::scheme() const {
  std::string result = text_.substr(scheme_.offset, scheme_.length);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return result;
}

std::optional<std::string> WebURL::host() const {
  const auto encoded = percentEncodedHost();
  if (!encoded) {
    return std::nullopt;
  }
  return percentDecoded(*encoded);
}

std::optional<std::string_view> WebURL::slice(const std::optional<Range>& range) const {
  if (!range) {
    return std::nullopt;
  }
  return std::string_view(text_).substr(range->offset, range->length);
}

std::optional<std::string> WebURL::directoryFileURL(std::string_view absolutePath) {
  if (!absolutePath.starts_with('/') || absolutePath.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::string path(absolutePath);
  if (!path.ends_with('/')) {
    path.push_back('/');
  }
  // uriparser needs room for "file://" plus every byte escaped as three characters.
  std::string url(7 + 3 * path.size() + 1, '\0');
  if (uriUnixFilenameToUriStringA(path.c_str(), url.data()) != URI_SUCCESS) {
    return std::nullopt;
  }
  url.resize(url.find('\0'));
  return url;
}

}  // namespace Sablekit
