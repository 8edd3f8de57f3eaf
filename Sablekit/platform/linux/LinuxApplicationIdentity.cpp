// The Linux identity rules and the table of well-known Linux applications.
#include "Sablekit/platform/linux/LinuxApplicationIdentity.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace Sablekit {

namespace {

// Linux identities (WM_CLASS classes, Flatpak and GTK application ids, Snap
// names) of applications the protection groups and browser lists know under
// another identifier. Add a row when an application is listed there but
// identifies itself differently on Linux; docs/platform-x11.md explains.
constexpr std::array mappings{
    // Browsers.
    LinuxIdentityMapping{"firefox", "org.mozilla.firefox"},
    LinuxIdentityMapping{"firefox-esr", "org.mozilla.firefox"},
    LinuxIdentityMapping{"firefox_firefox", "org.mozilla.firefox"},
    LinuxIdentityMapping{"firefox-developer-edition", "org.mozilla.firefoxdeveloperedition"},
    LinuxIdentityMapping{"firefox-nightly", "org.mozilla.nightly"},
    LinuxIdentityMapping{"google-chrome", "com.google.chrome"},
    LinuxIdentityMapping{"com.google.chrome", "com.google.chrome"},
    LinuxIdentityMapping{"google-chrome-beta", "com.google.chrome.beta"},
    LinuxIdentityMapping{"google-chrome-unstable", "com.google.chrome.dev"},
    LinuxIdentityMapping{"chromium", "org.chromium.chromium"},
    LinuxIdentityMapping{"chromium-browser", "org.chromium.chromium"},
    LinuxIdentityMapping{"brave-browser", "com.brave.browser"},
    LinuxIdentityMapping{"com.brave.browser", "com.brave.browser"},
    LinuxIdentityMapping{"vivaldi-stable", "com.vivaldi.vivaldi"},
    LinuxIdentityMapping{"microsoft-edge", "com.microsoft.edgemac"},
    LinuxIdentityMapping{"com.microsoft.edge", "com.microsoft.edgemac"},
    LinuxIdentityMapping{"opera", "com.operasoftware.opera"},
    LinuxIdentityMapping{"librewolf", "io.gitlab.librewolf-community"},
    LinuxIdentityMapping{"io.gitlab.librewolf-community", "io.gitlab.librewolf-community"},
    LinuxIdentityMapping{"tor browser", "org.torproject.torbrowser"},
    LinuxIdentityMapping{"waterfox", "net.waterfox.waterfox"},
    LinuxIdentityMapping{"zen", "app.zen-browser.zen"},
    // Password managers.
    LinuxIdentityMapping{"1password", "com.1password.1password"},
    LinuxIdentityMapping{"bitwarden", "com.bitwarden.desktop"},
    LinuxIdentityMapping{"com.bitwarden.desktop", "com.bitwarden.desktop"},
    LinuxIdentityMapping{"keepassxc", "org.keepassxc.keepassxc"},
    LinuxIdentityMapping{"org.keepassxc.keepassxc", "org.keepassxc.keepassxc"},
    LinuxIdentityMapping{"enpass", "in.sinew.enpass-desktop"},
    // Messaging.
    LinuxIdentityMapping{"slack", "com.tinyspeck.slackmacgap"},
    LinuxIdentityMapping{"com.slack.slack", "com.tinyspeck.slackmacgap"},
    LinuxIdentityMapping{"discord", "com.hnc.discord"},
    LinuxIdentityMapping{"com.discordapp.discord", "com.hnc.discord"},
    LinuxIdentityMapping{"signal", "org.whispersystems.signal-desktop"},
    LinuxIdentityMapping{"signal-desktop", "org.whispersystems.signal-desktop"},
    LinuxIdentityMapping{"org.signal.signal", "org.whispersystems.signal-desktop"},
    LinuxIdentityMapping{"telegramdesktop", "org.telegram.desktop"},
    LinuxIdentityMapping{"telegram-desktop", "org.telegram.desktop"},
    LinuxIdentityMapping{"whatsapp", "net.whatsapp.whatsapp"},
    LinuxIdentityMapping{"teams-for-linux", "com.microsoft.teams2"},
    LinuxIdentityMapping{"microsoft teams - preview", "com.microsoft.teams2"},
    LinuxIdentityMapping{"skype", "com.skype.skype"},
    LinuxIdentityMapping{"com.skype.client", "com.skype.skype"},
    // Other listed applications.
    LinuxIdentityMapping{"code", "com.microsoft.vscode"},
    LinuxIdentityMapping{"com.visualstudio.code", "com.microsoft.vscode"},
    LinuxIdentityMapping{"spotify", "com.spotify.client"},
    LinuxIdentityMapping{"com.spotify.client", "com.spotify.client"},
};

bool equalsIgnoringASCIICase(std::string_view left, std::string_view right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
  });
}

std::optional<std::string> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The Name= of the [Desktop Entry] of `<identifier>.desktop` in the XDG data
// directories; absent when there is no such file.
std::optional<std::string> desktopFileName(const std::string& identifier) {
  if (identifier.empty() || identifier.find('/') != std::string::npos) {
    return std::nullopt;
  }
  const char* configured = std::getenv("XDG_DATA_DIRS");
  std::string directories = configured && *configured ? configured : "/usr/local/share:/usr/share";
  if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home) {
    directories = std::string(home) + ":" + directories;
  }
  std::istringstream list(directories);
  std::string directory;
  while (std::getline(list, directory, ':')) {
    if (directory.empty()) {
      continue;
    }
    std::ifstream file(directory + "/applications/" + identifier + ".desktop");
    bool inEntry = false;
    std::string line;
    while (file && std::getline(file, line)) {
      if (line.starts_with("[")) {
        inEntry = line == "[Desktop Entry]";
      } else if (inEntry && line.starts_with("Name=") && line.size() > 5) {
        return line.substr(5);
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> firstLineOf(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line) || line.empty()) {
    return std::nullopt;
  }
  return line;
}

}  // namespace

std::span<const LinuxIdentityMapping> LinuxApplicationIdentity::table() {
  return mappings;
}

std::optional<std::string_view> LinuxApplicationIdentity::listedBundleID(std::string_view identity) {
  const auto found = std::find_if(mappings.begin(), mappings.end(), [&](const LinuxIdentityMapping& mapping) {
    return equalsIgnoringASCIICase(mapping.linuxIdentity, identity);
  });
  if (found == mappings.end()) {
    return std::nullopt;
  }
  return found->bundleID;
}

std::optional<std::string> LinuxApplicationIdentity::bundleID(const LinuxIdentitySources& sources) {
  for (const auto* source : {&sources.applicationID, &sources.flatpakID, &sources.snapName, &sources.wmClass}) {
    if (*source && !trimmed(**source).empty()) {
      if (const auto listed = listedBundleID(trimmed(**source))) {
        return std::string(*listed);
      }
      return **source;
    }
  }
  return std::nullopt;
}

std::optional<std::string> LinuxApplicationIdentity::localizedName(const LinuxIdentitySources& sources,
                                                                   std::int32_t processID) {
  for (const auto* identity : {&sources.applicationID, &sources.flatpakID, &sources.snapName, &sources.wmClass}) {
    if (*identity) {
      if (auto name = desktopFileName(**identity)) {
        return name;
      }
    }
  }
  if (sources.wmClass && !sources.wmClass->empty()) {
    return sources.wmClass;
  }
  return firstLineOf("/proc/" + std::to_string(processID) + "/comm");
}

LinuxIdentitySources LinuxApplicationIdentity::processSources(std::int32_t processID) {
  return {.applicationID = std::nullopt,
          .flatpakID = flatpakID(processID),
          .snapName = snapName(processID),
          .wmClass = std::nullopt};
}

std::optional<std::string> LinuxApplicationIdentity::flatpakIDFromInfo(std::string_view flatpakInfo) {
  bool inApplication = false;
  std::size_t start = 0;
  while (start < flatpakInfo.size()) {
    const std::size_t end = std::min(flatpakInfo.find('\n', start), flatpakInfo.size());
    const std::string_view line = trimmed(flatpakInfo.substr(start, end - start));
    start = end + 1;
    if (line.starts_with("[")) {
      inApplication = line == "[Application]";
    } else if (inApplication && line.starts_with("name")) {
      const std::string_view rest = trimmed(line.substr(4));
      if (rest.starts_with("=") && !trimmed(rest.substr(1)).empty()) {
        return std::string(trimmed(rest.substr(1)));
      }
    }
  }
  return std::nullopt;
}

std::optional<std::string> LinuxApplicationIdentity::snapNameFromCgroup(std::string_view cgroup) {
  // A snap's processes live in a scope such as
  // ".../snap.firefox.firefox-1234.scope" or ".../snap.firefox.hook.scope".
  const std::string_view marker = "snap.";
  for (std::size_t at = cgroup.find(marker); at != std::string_view::npos; at = cgroup.find(marker, at + 1)) {
    if (at > 0 && cgroup[at - 1] != '/') {
      continue;
    }
    const std::size_t nameStart = at + marker.size();
    const std::size_t nameEnd = cgroup.find('.', nameStart);
    const std::size_t lineEnd = cgroup.find('\n', nameStart);
    if (nameEnd != std::string_view::npos && nameEnd > nameStart && nameEnd < lineEnd) {
      return std::string(cgroup.substr(nameStart, nameEnd - nameStart));
    }
  }
  return std::nullopt;
}

std::optional<std::string> LinuxApplicationIdentity::flatpakID(std::int32_t processID) {
  const auto info = readFile("/proc/" + std::to_string(processID) + "/root/.flatpak-info");
  return info ? flatpakIDFromInfo(*info) : std::nullopt;
}

std::optional<std::string> LinuxApplicationIdentity::snapName(std::int32_t processID) {
  const auto cgroup = readFile("/proc/" + std::to_string(processID) + "/cgroup");
  return cgroup ? snapNameFromCgroup(*cgroup) : std::nullopt;
}

}  // namespace Sablekit
