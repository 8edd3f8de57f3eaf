// An absolute URL split into its RFC 3986 components. Parsing is strict: text
// that is not a URI with a scheme is rejected rather than guessed at, so every
// caller that reads a page address sees the same components.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace Sablekit {

class WebURL {
 public:
  // Absent unless `text` is a complete RFC 3986 URI (scheme required, no
  // surrounding white space, no raw non-ASCII characters).
  static std::optional<WebURL> parse(std::string_view text);

  // The "file://" URL of a directory at an absolute POSIX path: each path
  // segment percent-encoded (everything but unreserved characters), ending in
  // "/" whether or not the path does. Absent unless the path starts with "/";
  // also absent when it holds a NUL character, which no file name can.
  static std::optional<std::string> directoryFileURL(std::string_view absolutePath);

  // The text the URL was parsed from.
  const std::string& text() const { return text_; }

  // Lowercased; schemes compare case-insensitively.
  std::string scheme() const;

  // The components as written (percent-encoded). An optional component is
  // present, possibly empty, whenever its delimiter occurs: "http://@host"
  // has an empty user-info, "http://host:/" an empty port.
  std::optional<std::string_view> userInfo() const { return slice(userInfo_); }
  // Absent without an authority ("mailto:x"); empty for "http:///path".
  // IP literals keep their brackets ("[::1]").
  std::optional<std::string_view> percentEncodedHost() const { return slice(host_); }
  std::optional<std::string_view> port() const { return slice(port_); }
  std::string_view path() const { return *slice(path_); }
  std::optional<std::string_view> query() const { return slice(query_); }
  std::optional<std::string_view> fragment() const { return slice(fragment_); }

  // The host with its percent-encoding decoded, so that "ex%61mple.com" and
  // "example.com" name the same host.
  std::optional<std::string> host() const;
  // True for "[...]" hosts (IPv6 and IPvFuture addresses).
  bool hasIPLiteralHost() const { return ipLiteral_; }

 private:
  struct Range {
    std::size_t offset = 0;
    std::size_t length = 0;
  };

  explicit WebURL(std::string text) : text_(std::move(text)) {}
  std::optional<std::string_view> slice(const std::optional<Range>& range) const;

  std::string text_;
  Range scheme_;
  std::optional<Range> userInfo_;
  std::optional<Range> host_;
  std::optional<Range> port_;
  std::optional<Range> path_;
  std::optional<Range> query_;
  std::optional<Range> fragment_;
  bool ipLiteral_ = false;
};

}  // namespace Sablekit
