// The order of Linux identities, the identity table and the /proc parsers.
#include <gtest/gtest.h>

#include "Sablekit/common/BundleIDNormalization.h"
#include "Sablekit/context/ApplicationCapabilityRegistry.h"
#include "Sablekit/platform/x11/LinuxApplicationIdentity.h"

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

}  // namespace
}  // namespace Sablekit
