// The status enumerations that the context services report and the capture
// results carry on the wire, each written as its case name.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

// Outcome of reading the page address of a browser window.
enum class BrowserReadStatus { pageURL, noPage, unreadable, unsupported, notBrowser };

// Whether a browser window is a private one.
enum class BrowserPrivacyVerdict { normal, privateWindow, unknown };

// Outcome of reading the front Finder window's folder.
enum class FinderReadStatus { folderURL, noWindow, automationDisabled, automationUnavailable, failed };

template <>
struct RawValues<BrowserReadStatus> {
  using E = BrowserReadStatus;
  static constexpr std::array<std::pair<E, std::string_view>, 5> cases{{
      {E::pageURL, "pageURL"},
      {E::noPage, "noPage"},
      {E::unreadable, "unreadable"},
      {E::unsupported, "unsupported"},
      {E::notBrowser, "notBrowser"},
  }};
};

template <>
struct RawValues<BrowserPrivacyVerdict> {
  using E = BrowserPrivacyVerdict;
  // `private` is a C++ keyword; the case is privateWindow and travels as "private".
  static constexpr std::array<std::pair<E, std::string_view>, 3> cases{{
      {E::normal, "normal"},
      {E::privateWindow, "private"},
      {E::unknown, "unknown"},
  }};
};

template <>
struct RawValues<FinderReadStatus> {
  using E = FinderReadStatus;
  static constexpr std::array<std::pair<E, std::string_view>, 5> cases{{
      {E::folderURL, "folderURL"},
      {E::noWindow, "noWindow"},
      {E::automationDisabled, "automationDisabled"},
      {E::automationUnavailable, "automationUnavailable"},
      {E::failed, "failed"},
  }};
};

}  // namespace Sablekit
