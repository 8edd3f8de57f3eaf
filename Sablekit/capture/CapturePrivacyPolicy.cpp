#include "Sablekit/capture/CapturePrivacyPolicy.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <utility>
#include <vector>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/common/WebURL.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit {
namespace {

using Registry = ApplicationCapabilityRegistry;

// The only public-suffix knowledge in the library: every other host keeps
// its last two labels.
const StringSet& commonMultiLabelPublicSuffixes() {
  static const StringSet set{
      "ac.in",  "ac.jp",  "ac.nz",  "ac.uk",  "co.in",  "co.jp",   "co.kr",  "co.nz",  "co.uk",  "co.za",  "com.au",
      "com.br", "com.cn", "com.mx", "com.tr", "edu.au", "firm.in", "gen.in", "gov.uk", "ind.in", "ne.jp",  "net.au",
      "net.br", "net.cn", "net.in", "net.nz", "or.jp",  "org.au",  "org.br", "org.cn", "org.in", "org.nz", "org.uk",
  };
  return set;
}

std::string_view trimmedFullStops(std::string_view text) {
  const auto first = text.find_first_not_of('.');
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of('.') - first + 1);
}

// An optional sign, then digits, within the 64-bit signed range.
bool isDecimalInteger(std::string_view label) {
  std::string_view digits = label;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    digits.remove_prefix(1);
  }
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return false;
  }
  // from_chars takes a minus sign but no plus sign.
  const std::string_view number = label.front() == '+' ? digits : label;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return error == std::errc() && end == number.data() + number.size();
}

}  // namespace

CapturePrivacyPolicy::CapturePrivacyPolicy(const std::vector<std::string>& explicitExcludedBundleIDs,
                                           const std::vector<std::string>& explicitExcludedDomains,
                                           bool recordUnknownBundleIDs,
                                           bool excludeProtectedApplications,
                                           std::set<ApplicationExclusionGroup> enabledExclusionGroups)
    : recordUnknownBundleIDs_(recordUnknownBundleIDs),
      excludeProtectedApplications_(excludeProtectedApplications),
      enabledExclusionGroups_(std::move(enabledExclusionGroups)) {
  for (const std::string& bundleID : explicitExcludedBundleIDs) {
    explicitExcludedBundleIDs_.insert(normalizeBundleID(bundleID));
  }
  for (const std::string& domain : explicitExcludedDomains) {
    if (auto normalizedDomain = normalizeDomain(domain)) {
      explicitExcludedDomains_.insert(std::move(*normalizedDomain));
    }
  }
}

CapturePrivacyPolicy CapturePrivacyPolicy::forRequest(const CaptureProbeParameters& parameters) {
  const auto allGroups = allCases<ApplicationExclusionGroup>();
  std::set<ApplicationExclusionGroup> groups;
  if (parameters.enabledExclusionGroups) {
    for (const std::string& name : *parameters.enabledExclusionGroups) {
      if (const auto group = fromRawValue<ApplicationExclusionGroup>(name)) {
        groups.insert(*group);
      }
    }
  } else {
    groups.insert(allGroups.begin(), allGroups.end());
  }
  return CapturePrivacyPolicy(parameters.excludedBundleIDs.value_or(std::vector<std::string>{}),
                              parameters.excludedDomains.value_or(std::vector<std::string>{}),
                              parameters.recordsUnknownBundleIDs(), parameters.excludesProtectedApplications(),
                              std::move(groups));
}

std::optional<std::string_view> CapturePrivacyPolicy::exclusionReason(std::optional<std::string_view> bundleID) const {
  // Emptiness is judged before trimming: a blank identifier is an identifier.
  if (!bundleID || bundleID->empty()) {
    if (recordUnknownBundleIDs_) {
      return std::nullopt;
    }
    return "unknownBundle";
  }
  const std::string n = normalizeBundleID(*bundleID);
  const Registry::ExclusionGroupEntry* group = Registry::exclusionGroup(n);
  if (group && group->underEveryPolicy) {
    return group->reason;
  }
  if (explicitExcludedBundleIDs_.contains(n)) {
    return "explicit";
  }
  if (excludeProtectedApplications_ && group && enabledExclusionGroups_.contains(group->group)) {
    return group->reason;
  }
  return std::nullopt;
}

bool CapturePrivacyPolicy::isDomainExcluded(std::optional<std::string_view> domain) const {
  if (!domain) {
    return false;
  }
  const auto n = normalizeDomain(*domain);
  if (!n) {
    return false;
  }
  // n is excluded by an entry equal to it or to the part after any of its
  // full stops: one lookup per label instead of a scan of the entries.
  const std::string_view name = *n;
  if (explicitExcludedDomains_.contains(name)) {
    return true;
  }
  for (std::size_t dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1)) {
    if (explicitExcludedDomains_.contains(name.substr(dot + 1))) {
      return true;
    }
  }
  return false;
}

std::optional<std::string> CapturePrivacyPolicy::normalizeDomain(std::string_view domain) {
  // White space and full stops may alternate at either end (" .example.com. "),
  // so trim both until neither is left. Lowercasing never produces either.
  std::string current = normalizeBundleID(domain);
  while (true) {
    const std::string_view withoutStops = trimmedFullStops(current);
    if (withoutStops.size() == current.size()) {
      break;
    }
    std::string next = normalizeBundleID(withoutStops);
    current = std::move(next);
  }
  if (current.empty() || current.find('/') != std::string::npos || current.find(' ') != std::string::npos) {
    return std::nullopt;
  }
  return current;
}

std::optional<std::string> CapturePrivacyPolicy::registrableDomain(std::string_view host) {
  auto n = normalizeDomain(host);
  if (!n) {
    return std::nullopt;
  }
  // A port or an IPv6 literal: not a name to shorten.
  if (n->find(':') != std::string::npos) {
    return n;
  }
  std::vector<std::string_view> labels;
  const std::string_view name = *n;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t dot = std::min(name.find('.', start), name.size());
    if (dot > start) {
      labels.push_back(name.substr(start, dot - start));
    }
    start = dot + 1;
  }
  if (labels.size() <= 1) {
    return n;
  }
  if (std::all_of(labels.begin(), labels.end(), isDecimalInteger)) {
    return n;  // an IPv4 address stays whole
  }
  const auto joined = [&labels](std::size_t count) {
    std::string result;
    for (std::size_t i = labels.size() - count; i < labels.size(); ++i) {
      if (!result.empty()) {
        result.push_back('.');
      }
      result.append(labels[i]);
    }
    return result;
  };
  std::string lastTwo = joined(2);
  if (!commonMultiLabelPublicSuffixes().contains(lastTwo)) {
    return lastTwo;
  }
  if (labels.size() == 2) {
    return n;
  }
  return joined(3);
}

std::optional<std::string> CapturePrivacyPolicy::domain(std::optional<std::string_view> webURL) {
  if (!webURL) {
    return std::nullopt;
  }
  const auto url = WebURL::parse(*webURL);
  if (!url) {
    return std::nullopt;
  }
  const std::string scheme = url->scheme();
  if (scheme != "http" && scheme != "https") {
    return std::nullopt;
  }
  // Credentials in front of the host are a classic way to disguise the real
  // site ("https://bank.example@evil.example"); such pages get no domain.
  if (url->userInfo()) {
    return std::nullopt;
  }
  const auto host = url->host();
  if (!host || host->empty()) {
    return std::nullopt;
  }
  return registrableDomain(*host);
}

}  // namespace Sablekit
