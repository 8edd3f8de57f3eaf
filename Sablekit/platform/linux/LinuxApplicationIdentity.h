// Who a Linux application is, in the terms the services use for bundle
// identifiers: its own application id where it has one, and a table that
// maps well-known Linux identities to the identifiers the protection groups
// and browser lists name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace Sablekit {

// What can be learnt about one application, each absent when unknown.
struct LinuxIdentitySources {
  // The id the application gives itself: _GTK_APPLICATION_ID of its X11
  // window, the app_id of its Wayland toplevel.
  std::optional<std::string> applicationID;
  std::optional<std::string> flatpakID;  // [Application] name= of its .flatpak-info
  std::optional<std::string> snapName;   // from its "snap.<name>." cgroup
  std::optional<std::string> wmClass;    // the class half of WM_CLASS (X11 and Xwayland windows)
};

// One row of the identity table: a Linux identity (compared ignoring ASCII
// case) and the identifier the services know the application by.
struct LinuxIdentityMapping {
  std::string_view linuxIdentity;
  std::string_view bundleID;
};

class LinuxApplicationIdentity {
 public:
  // The first of application id, Flatpak id, Snap name and WM_CLASS class
  // that is present and not empty, replaced by its listed identifier when
  // the table has one; absent when there is none. Not normalised: the
  // services lowercase it as they do every platform identifier.
  static std::optional<std::string> bundleID(const LinuxIdentitySources& sources);

  // The table's identifier for `identity`; absent when it is not listed.
  static std::optional<std::string_view> listedBundleID(std::string_view identity);

  // The name people know the application by: Name= of the desktop file of
  // its first identity that has one (in the XDG data directories), else its
  // WM_CLASS class, else the command name of its process; absent when none
  // of them is known.
  static std::optional<std::string> localizedName(const LinuxIdentitySources& sources, std::int32_t processID);

  // The Flatpak and Snap identities of a process, the two sources every
  // Linux desktop reads from /proc.
  static LinuxIdentitySources processSources(std::int32_t processID);

  // The whole table, for documentation and tests.
  static std::span<const LinuxIdentityMapping> table();

  // The Flatpak application id of a process; absent outside Flatpak or when
  // its /proc entry cannot be read.
  static std::optional<std::string> flatpakID(std::int32_t processID);
  // The Snap name of a process; absent outside Snap.
  static std::optional<std::string> snapName(std::int32_t processID);

  // Parsers of the two files above, for tests.
  static std::optional<std::string> flatpakIDFromInfo(std::string_view flatpakInfo);
  static std::optional<std::string> snapNameFromCgroup(std::string_view cgroup);
};

}  // namespace Sablekit
