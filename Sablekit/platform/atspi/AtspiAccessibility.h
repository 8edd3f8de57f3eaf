// Accessibility on a Linux desktop through AT-SPI 2, spoken directly over
// D-Bus (GDBus): the accessibility client, the trust check, the wake of
// toolkits that expose their tree only on request, and observers whose
// events arrive on a GLib main context of the observer thread. The
// vocabulary between AT-SPI and the services is AtspiVocabulary.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Sablekit/platform/AccessibilityBackend.h"
#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/AccessibilityPrompt.h"
#include "Sablekit/platform/Clock.h"

namespace Sablekit {

class AtspiAccessibility final : public AccessibilityBackend,
                                 public AccessibilityClient,
                                 public AccessibilityObservers,
                                 private AccessibilityPrompt {
 public:
  // The attributes whose setting switches accessibility on (the wake).
  static constexpr std::string_view manualAccessibilityAttribute = "AXManualAccessibility";
  static constexpr std::string_view enhancedUserInterfaceAttribute = "AXEnhancedUserInterface";
  // How long a trust answer is reused (monotonic seconds).
  static constexpr double trustLifetime = 1.0;
  // Facts read from an application are reused for this long (monotonic
  // seconds), unless any event of that application arrives first. A patch
  // follows the events that caused it, so it never reads facts from before them.
  static constexpr double factLifetime = 0.5;
  // An application that let a call time out is not asked again for this long.
  static constexpr double hungHold = 2.0;

  struct Options {
    // The session bus's address; empty means the session has none, and
    // accessibility is then never reachable. (The hosts pass
    // DBUS_SESSION_BUS_ADDRESS.)
    std::string sessionBusAddress;
    // Where the global display space has its origin in AT-SPI's screen
    // coordinates (the main monitor's top-left corner); asked once per read
    // that reports a position.
    std::function<AccessibilityPoint()> screenOrigin;
  };

  // Whether the session bus at `sessionBusAddress` answers and offers the
  // accessibility bus launcher (org.a11y.Bus). Quick; the connection opened
  // to ask is closed again.
  static bool reachable(const std::string& sessionBusAddress);

  // Connects nothing yet: the bus is found on first use. `clock` must
  // outlive this object.
  AtspiAccessibility(const Clock& clock, Options options);
  // The same on a system clock of its own.
  explicit AtspiAccessibility(Options options);
  ~AtspiAccessibility() override;
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  // Calls and round trips made on the accessibility bus by this process so
  // far, for benchmarks.
  static std::pair<std::uint64_t, std::uint64_t> traffic();

  // AccessibilityBackend. Trust: the accessibility bus is reachable and its
  // registry answers; there is no grant to ask for, so that is a real answer.
  // Never prompts. Any thread; may wait up to a second on a bus that hangs.
  AccessibilityClient& client() override { return *this; }
  AccessibilityObservers& observers() override { return *this; }
  AccessibilityPrompt& prompt() override { return *this; }
  bool trusted() override;
  bool trustKnown() const override { return true; }

  // AccessibilityClient. Any thread. Element handles are (bus name, object
  // path); the application element of a process is found through the
  // registry when first used. A call on an application that lets one time
  // out fails at once for hungHold seconds afterwards.
  AccessibilityElement applicationElement(std::int32_t processID) override;
  std::optional<std::vector<AccessibilityValue>> readAttributes(const AccessibilityElement& element,
                                                                std::span<const std::string> names) override;
  std::optional<AccessibilityValue> readAttribute(const AccessibilityElement& element,
                                                  const std::string& name) override;
  // Setting either wake attribute to true turns org.a11y.Status IsEnabled
  // on for the whole session (see docs/platform-atspi.md); nothing else can
  // be set.
  bool setAttribute(const AccessibilityElement& element,
                    const std::string& name,
                    const AccessibilityValue& value) override;
  // Covers every element of the element's application.
  void setMessagingTimeout(const AccessibilityElement& element, double seconds) override;

  // AccessibilityObservers.
  std::shared_ptr<AccessibilityEventLoop> currentThreadLoop() override;
  std::shared_ptr<AccessibilityObserver> createObserver(std::int32_t processID,
                                                        AccessibilityNotificationCallback callback) override;
  bool addNotification(AccessibilityObserver& observer,
                       const AccessibilityElement& element,
                       const std::string& notification,
                       void* context) override;

 private:
  // AccessibilityPrompt: AT-SPI has no permission dialog to show.
  void promptIfNotTrusted() override {}

  struct Session;
  std::unique_ptr<Clock> ownClock_;
  std::shared_ptr<Session> session_;
};

}  // namespace Sablekit
