// The order of Linux identities, the identity table and the /proc parsers.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <unistd.h>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/platform/linux/LinuxApplicationIdentity.h"

namespace Sablekit {
namespace {

TEST(LinuxApplicationIdentity, TakesTheFirstIdentityPresentAndMapsListedOnes) {
  struct Case {
    const char* name;
    LinuxIdentitySources sources;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"gtk id first", {"org.gnome.Gedit", "org.other.Flatpak", "snapname", "Gedit"}, "org.gnome.Gedit"},
      {"flatpak before snap", {std::nullopt, "com.slack.Slack", "slack", "Slack"}, "com.tinyspeck.slackmacgap"},
      {"snap before class", {std::nullopt, std::nullopt, "firefox", "Navigator"}, "org.mozilla.firefox"},
      {"class mapped ignoring case",
       {std::nullopt, std::nullopt, std::nullopt, "KeePassXC"},
       "org.keepassxc.keepassxc"},
      {"empty skipped", {"", std::nullopt, std::nullopt, "XTerm"}, "XTerm"},
      {"nothing known", {}, std::nullopt},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    EXPECT_EQ(LinuxApplicationIdentity::bundleID(testCase.sources), testCase.expected);
  }
}

TEST(LinuxApplicationIdentity, EveryMappedIdentifierIsOneTheRegistryLists) {
  for (const LinuxIdentityMapping& mapping : LinuxApplicationIdentity::table()) {
    SCOPED_TRACE(std::string(mapping.linuxIdentity));
    const std::string identifier = normalizeBundleID(mapping.bundleID);
    EXPECT_EQ(identifier, mapping.bundleID) << "stored normalised";
    const bool listed = ApplicationCapabilityRegistry::browserBundleIDs().contains(identifier) ||
                        ApplicationCapabilityRegistry::passwordManagerBundleIDs().contains(identifier) ||
                        ApplicationCapabilityRegistry::messagingAndNotificationBundleIDs().contains(identifier) ||
                        ApplicationCapabilityRegistry::electronWakeBundleIDs().contains(identifier);
    EXPECT_TRUE(listed);
  }
}

TEST(LinuxApplicationIdentity, ReadsFlatpakInfoAndSnapCgroups) {
  EXPECT_EQ(LinuxApplicationIdentity::flatpakIDFromInfo("[Instance]\nname=wrong\n[Application]\nname = org.x.App\n"),
            "org.x.App");
  EXPECT_EQ(LinuxApplicationIdentity::flatpakIDFromInfo("[Runtime]\nname=org.gnome.Platform\n"), std::nullopt);
  EXPECT_EQ(LinuxApplicationIdentity::snapNameFromCgroup(
                "0::/user.slice/user-1000.slice/user@1000.service/app.slice/snap.firefox.firefox-42.scope\n"),
            "firefox");
  EXPECT_EQ(LinuxApplicationIdentity::snapNameFromCgroup("0::/user.slice/session-2.scope\n"), std::nullopt);
}

TEST(LinuxApplicationIdentity, NamesAnApplicationFromItsDesktopFileItsClassOrItsCommand) {
  const std::filesystem::path data =
      std::filesystem::temp_directory_path() / ("sablekit-identity-" + std::to_string(::getpid()));
  std::filesystem::create_directories(data / "applications");
  std::ofstream(data / "applications" / "org.example.Notes.desktop")
      << "[Desktop Action new]\nName=New note\n[Desktop Entry]\nType=Application\nName=Example Notes\n";
  ::setenv("XDG_DATA_DIRS", data.c_str(), 1);
  ::unsetenv("XDG_DATA_HOME");
  std::ifstream commFile("/proc/self/comm");
  std::string command;
  std::getline(commFile, command);
  struct Case {
    const char* name;
    LinuxIdentitySources sources;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"the desktop entry's name, not an action's", {.applicationID = "org.example.Notes"}, "Example Notes"},
      {"a later identity's desktop file",
       {.applicationID = "org.example.None", .wmClass = "org.example.Notes"},
       "Example Notes"},
      {"the class without a desktop file",
       {.applicationID = "org.example.None", .wmClass = "NotesClass"},
       "NotesClass"},
      {"a path is no identifier", {.applicationID = "../applications/org.example.Notes"}, command},
      {"the command without anything else", {}, command},
  };
  for (const Case& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    EXPECT_EQ(LinuxApplicationIdentity::localizedName(testCase.sources, ::getpid()), testCase.expected);
  }
  ::unsetenv("XDG_DATA_DIRS");
  std::filesystem::remove_all(data);
}

}  // namespace
}  // namespace Sablekit
