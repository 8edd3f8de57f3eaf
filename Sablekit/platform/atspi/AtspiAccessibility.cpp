// The AT-SPI client, trust, wake and observers over one accessibility bus.
#include "Sablekit/platform/atspi/AtspiAccessibility.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

#include <atspi/atspi-constants.h>

#include "Sablekit/platform/atspi/AtspiApplications.h"
#include "Sablekit/platform/atspi/AtspiConnection.h"
#include "Sablekit/platform/atspi/AtspiElementIdentity.h"
#include "Sablekit/platform/atspi/AtspiEventLoop.h"
#include "Sablekit/platform/atspi/AtspiFactReader.h"
#include "Sablekit/platform/atspi/AtspiObserver.h"
#include "Sablekit/platform/atspi/AtspiVocabulary.h"
#include "Sablekit/platform/posix/SystemClock.h"

namespace Sablekit {

namespace {

constexpr std::string_view childrenAttribute = "AXChildren";
constexpr std::string_view parentAttribute = "AXParent";
constexpr std::string_view focusedWindowAttribute = "AXFocusedWindow";
constexpr std::string_view windowsAttribute = "AXWindows";

bool isElementValued(std::string_view name) {
  return name == childrenAttribute || name == parentAttribute || name == focusedWindowAttribute ||
         name == windowsAttribute;
}

AccessibilityArray references(std::vector<AccessibilityElement> elements) {
  AccessibilityArray array;
  array.elements.reserve(elements.size());
  for (auto& element : elements) {
    array.elements.emplace_back(AccessibilityElementReference{std::move(element)});
  }
  return array;
}

}  // namespace

struct AtspiAccessibility::Session {
  Session(const Clock& sessionClock, Options options)
      : clock(sessionClock),
        connection(sessionClock, std::move(options.sessionBusAddress)),
        reader(connection, applications, sessionClock),
        screenOrigin(std::move(options.screenOrigin)) {}

  // The application's windows (its children with a window role), with
  // their core facts.
  std::vector<std::pair<AccessibilityElement, AtspiElementFacts>> windows(const AtspiElementIdentity& application);
  std::optional<AccessibilityElement> focusedWindow(const AtspiElementIdentity& application);
  std::optional<AccessibilityValue> elementValued(const AtspiElementIdentity& element, std::string_view name);
  // Asks the registry to have the application send `event`; true when it
  // was asked before or agreed now.
  bool registerEvent(const std::string& busName, std::string_view event);

  const Clock& clock;
  AtspiConnection connection;
  AtspiApplications applications;
  AtspiFactReader reader;
  const std::function<AccessibilityPoint()> screenOrigin;

  std::mutex mutex;  // guards registeredEvents and trust
  std::set<std::pair<std::string, std::string>> registeredEvents;
  std::optional<std::pair<double, bool>> trust;  // when asked, and the answer
};

std::vector<std::pair<AccessibilityElement, AtspiElementFacts>> AtspiAccessibility::Session::windows(
    const AtspiElementIdentity& application) {
  std::vector<std::pair<AccessibilityElement, AtspiElementFacts>> result;
  auto children = reader.children(application);
  if (!children) {
    return result;
  }
  auto facts = reader.readAll(*children, atspiCorePart);
  for (std::size_t index = 0; index < children->size(); ++index) {
    if (facts[index] && AtspiVocabulary::role(facts[index]->role).axRole == "AXWindow") {
      result.emplace_back((*children)[index], std::move(*facts[index]));
    }
  }
  return result;
}

std::optional<AccessibilityElement> AtspiAccessibility::Session::focusedWindow(
    const AtspiElementIdentity& application) {
  auto all = windows(application);
  // The active window; failing that, the only one showing.
  for (auto& [window, facts] : all) {
    if (facts.has(ATSPI_STATE_ACTIVE)) {
      return window;
    }
  }
  std::optional<AccessibilityElement> showing;
  for (auto& [window, facts] : all) {
    if (facts.has(ATSPI_STATE_SHOWING)) {
      if (showing) {
        return std::nullopt;
      }
      showing = window;
    }
  }
  return showing;
}

std::optional<AccessibilityValue> AtspiAccessibility::Session::elementValued(const AtspiElementIdentity& element,
                                                                             std::string_view name) {
  if (name == childrenAttribute) {
    auto children = reader.children(element);
    return children ? std::optional(AccessibilityValue(references(std::move(*children)))) : std::nullopt;
  }
  if (name == parentAttribute) {
    auto parent = reader.parent(element);
    return parent ? std::optional(AccessibilityValue(AccessibilityElementReference{std::move(*parent)})) : std::nullopt;
  }
  if (!element.isApplicationRoot()) {
    return std::nullopt;
  }
  if (name == focusedWindowAttribute) {
    auto window = focusedWindow(element);
    return window ? std::optional(AccessibilityValue(AccessibilityElementReference{std::move(*window)})) : std::nullopt;
  }
  std::vector<AccessibilityElement> all;
  for (auto& [window, facts] : windows(element)) {
    all.push_back(std::move(window));
  }
  return AccessibilityValue(references(std::move(all)));
}

bool AtspiAccessibility::Session::registerEvent(const std::string& busName, std::string_view event) {
  const std::pair<std::string, std::string> key(busName, event);
  {
    const std::lock_guard guard(mutex);
    if (registeredEvents.contains(key)) {
      return true;
    }
  }
  const GDBusConnectionHandle bus = connection.bus();
  const std::string eventName(event);
  const AtspiCall answer = AtspiConnection::runOne(
      bus.get(),
      AtspiCall{
          .busName = "org.a11y.atspi.Registry",
          .objectPath = "/org/a11y/atspi/registry",
          .interface = "org.a11y.atspi.Registry",
          .method = "RegisterEvent",
          .parameters = g_variant_new("(s@ass)", eventName.c_str(), g_variant_new_strv(nullptr, 0), busName.c_str()),
          .replyType = "()",
          .autoStart = true},
      AtspiApplications::lookUpTimeout);
  if (!answer.reply) {
    return false;
  }
  const std::lock_guard guard(mutex);
  registeredEvents.insert(key);
  return true;
}

AtspiAccessibility::AtspiAccessibility(const Clock& clock, Options options)
    : session_(std::make_shared<Session>(clock, std::move(options))) {}

AtspiAccessibility::AtspiAccessibility(Options options)
    : ownClock_(std::make_unique<SystemClock>()), session_(std::make_shared<Session>(*ownClock_, std::move(options))) {}

bool AtspiAccessibility::reachable(const std::string& sessionBusAddress) {
  if (sessionBusAddress.empty()) {
    return false;
  }
  // Asked on a clock of its own: nothing of it is kept.
  SystemClock clock;
  AtspiConnection connection(clock, sessionBusAddress);
  const GDBusConnectionHandle session = connection.session();
  if (!session) {
    return false;
  }
  const AtspiCall listing = AtspiConnection::runOne(session.get(),
                                                    AtspiCall{.busName = "org.freedesktop.DBus",
                                                              .objectPath = "/org/freedesktop/DBus",
                                                              .interface = "org.freedesktop.DBus",
                                                              .method = "ListActivatableNames",
                                                              .replyType = "(as)"},
                                                    AtspiApplications::lookUpTimeout);
  bool offered = false;
  if (listing.reply) {
    GVariantIter* names = nullptr;
    g_variant_get(listing.reply.get(), "(as)", &names);
    const gchar* name = nullptr;
    while (!offered && g_variant_iter_next(names, "&s", &name)) {
      offered = std::string_view(name) == "org.a11y.Bus";
    }
    g_variant_iter_free(names);
  }
  g_dbus_connection_close_sync(session.get(), nullptr, nullptr);
  return offered;
}

AtspiAccessibility::~AtspiAccessibility() = default;

std::pair<std::uint64_t, std::uint64_t> AtspiAccessibility::traffic() {
  const AtspiTraffic traffic = AtspiConnection::traffic();
  return {traffic.calls, traffic.waves};
}

bool AtspiAccessibility::trusted() {
  Session& session = *session_;
  const double now = session.clock.monotonicNow();
  {
    const std::lock_guard guard(session.mutex);
    if (session.trust && now >= session.trust->first && now - session.trust->first < trustLifetime) {
      return session.trust->second;
    }
  }
  const GDBusConnectionHandle bus = session.connection.bus();
  bool answered = false;
  if (bus) {
    const AtspiCall ping = AtspiConnection::runOne(bus.get(),
                                                   AtspiCall{.busName = "org.a11y.atspi.Registry",
                                                             .objectPath = "/org/a11y/atspi/registry",
                                                             .interface = "org.freedesktop.DBus.Peer",
                                                             .method = "Ping",
                                                             .replyType = "()",
                                                             .autoStart = true},
                                                   AtspiApplications::lookUpTimeout);
    answered = ping.reply != nullptr;
  }
  const std::lock_guard guard(session.mutex);
  session.trust = std::pair(now, answered);
  return answered;
}

AccessibilityElement AtspiAccessibility::applicationElement(std::int32_t processID) {
  return AtspiElementIdentity::element(session_->applications.forProcess(processID), atspiRootPath);
}

std::optional<std::vector<AccessibilityValue>> AtspiAccessibility::readAttributes(const AccessibilityElement& element,
                                                                                  std::span<const std::string> names) {
  const AtspiElementIdentity* identity = AtspiElementIdentity::of(element);
  if (identity == nullptr) {
    return std::nullopt;
  }
  // A batched read is a walker's: it will ask for the rest next.
  std::uint32_t parts = names.size() > 1 ? atspiAllParts : atspiCorePart;
  for (const std::string& name : names) {
    parts |= AtspiVocabulary::partsFor(name);
  }
  const auto facts = session_->reader.read(*identity, parts);
  if (!facts) {
    return std::nullopt;
  }
  const AccessibilityPoint origin =
      (parts & atspiExtentsPart) != 0 && session_->screenOrigin ? session_->screenOrigin() : AccessibilityPoint{};
  std::vector<AccessibilityValue> values;
  values.reserve(names.size());
  for (const std::string& name : names) {
    auto value =
        isElementValued(name) ? session_->elementValued(*identity, name) : AtspiVocabulary::value(*facts, name, origin);
    values.push_back(value ? std::move(*value) : AccessibilityValue(AccessibilityError{}));
  }
  return values;
}

std::optional<AccessibilityValue> AtspiAccessibility::readAttribute(const AccessibilityElement& element,
                                                                    const std::string& name) {
  const AtspiElementIdentity* identity = AtspiElementIdentity::of(element);
  if (identity == nullptr) {
    return std::nullopt;
  }
  if (isElementValued(name)) {
    return session_->elementValued(*identity, name);
  }
  const std::uint32_t parts = AtspiVocabulary::partsFor(name);
  if (parts == 0) {
    return std::nullopt;
  }
  const auto facts = session_->reader.read(*identity, parts);
  if (!facts) {
    return std::nullopt;
  }
  const AccessibilityPoint origin =
      (parts & atspiExtentsPart) != 0 && session_->screenOrigin ? session_->screenOrigin() : AccessibilityPoint{};
  return AtspiVocabulary::value(*facts, name, origin);
}

bool AtspiAccessibility::setAttribute(const AccessibilityElement& element,
                                      const std::string& name,
                                      const AccessibilityValue& value) {
  const bool* wanted = std::get_if<bool>(&value.storage);
  if (AtspiElementIdentity::of(element) == nullptr || wanted == nullptr || !*wanted ||
      (name != manualAccessibilityAttribute && name != enhancedUserInterfaceAttribute)) {
    return false;
  }
  // Accessibility is switched on for the session, not per application:
  // toolkits that expose their tree only on request watch IsEnabled.
  const GDBusConnectionHandle session = session_->connection.session();
  if (!session) {
    return false;
  }
  AtspiCall current =
      AtspiConnection::runOne(session.get(),
                              AtspiCall{.busName = "org.a11y.Bus",
                                        .objectPath = "/org/a11y/bus",
                                        .interface = "org.freedesktop.DBus.Properties",
                                        .method = "Get",
                                        .parameters = g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"),
                                        .replyType = "(v)",
                                        .autoStart = true},
                              AtspiApplications::lookUpTimeout);
  if (current.reply) {
    GVariant* enabled = nullptr;
    g_variant_get(current.reply.get(), "(v)", &enabled);
    const bool already = g_variant_is_of_type(enabled, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(enabled);
    g_variant_unref(enabled);
    if (already) {
      return true;
    }
  }
  const AtspiCall set = AtspiConnection::runOne(
      session.get(),
      AtspiCall{.busName = "org.a11y.Bus",
                .objectPath = "/org/a11y/bus",
                .interface = "org.freedesktop.DBus.Properties",
                .method = "Set",
                .parameters = g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
                .replyType = "()",
                .autoStart = true},
      AtspiApplications::lookUpTimeout);
  return set.reply != nullptr;
}

void AtspiAccessibility::setMessagingTimeout(const AccessibilityElement& element, double seconds) {
  const AtspiElementIdentity* identity = AtspiElementIdentity::of(element);
  if (identity != nullptr && seconds > 0) {
    identity->application()->setMessagingTimeout(seconds);
  }
}

std::shared_ptr<AccessibilityEventLoop> AtspiAccessibility::currentThreadLoop() {
  return std::make_shared<AtspiEventLoop>(session_->connection);
}

std::shared_ptr<AccessibilityObserver> AtspiAccessibility::createObserver(std::int32_t processID,
                                                                          AccessibilityNotificationCallback callback) {
  if (callback == nullptr) {
    return nullptr;
  }
  auto application = session_->applications.forProcess(processID);
  const AtspiElementIdentity root(application, atspiRootPath);
  const auto where = session_->reader.target(root);
  if (!where) {
    return nullptr;
  }
  // Any event may mean the kept facts of the application are out of date.
  std::weak_ptr<Session> session = session_;
  return std::make_shared<AtspiObserver>(std::move(application), where->busName, callback,
                                         [session](const std::string& busName) {
                                           if (auto alive = session.lock()) {
                                             alive->reader.forgetApplication(busName);
                                           }
                                         });
}

bool AtspiAccessibility::addNotification(AccessibilityObserver& observer,
                                         const AccessibilityElement& element,
                                         const std::string& notification,
                                         void* context) {
  auto* atspi = dynamic_cast<AtspiObserver*>(&observer);
  const AtspiElementIdentity* identity = AtspiElementIdentity::of(element);
  if (atspi == nullptr || identity == nullptr || !identity->application()->sameAs(*atspi->application())) {
    return false;
  }
  const auto events = AtspiVocabulary::registryEventsFor(notification);
  if (events.empty()) {
    return false;
  }
  const std::string busName = atspi->application()->busName();
  for (const std::string_view event : events) {
    if (!session_->registerEvent(busName, event)) {
      return false;
    }
  }
  atspi->subscribe(notification, identity->path(), context);
  return true;
}

}  // namespace Sablekit
