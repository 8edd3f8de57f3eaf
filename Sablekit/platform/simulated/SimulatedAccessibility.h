// A simulated accessibility client: element trees per process, built by a test
// or a scenario (large generated trees included), with typed attribute values,
// failing attributes and batched reads, applications that answer slowly (on
// the injected clock) and attributes that refuse to be set; trees that tests
// change while they are observed; and observers whose notifications a test posts.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Sablekit/platform/AccessibilityClient.h"
#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/simulated/FaultInjector.h"
#include "Sablekit/platform/simulated/SimulatedClock.h"

namespace Sablekit {

// Operation names understood by FaultInjector for the simulated accessibility client.
namespace SimulatedOperation {
// fail: the batched read fails as a whole (absent); empty: it answers an empty
// array, the wrong count.
inline constexpr std::string_view accessibilityReadAttributes = "accessibility.readAttributes";
// fail or empty: the single read answers absent.
inline constexpr std::string_view accessibilityReadAttribute = "accessibility.readAttribute";
// fail: the application refuses the setting (false); empty: it reports success
// but the value does not change.
inline constexpr std::string_view accessibilitySetAttribute = "accessibility.setAttribute";
// fail or empty: no observer is created (absent).
inline constexpr std::string_view accessibilityCreateObserver = "accessibility.createObserver";
// fail: the subscription is refused (false); empty: it reports success but
// nothing is ever delivered for it.
inline constexpr std::string_view accessibilityAddNotification = "accessibility.addNotification";
}  // namespace SimulatedOperation

class SimulatedAccessibility final : public AccessibilityClient, public AccessibilityObservers {
 public:
  // What a real application uses when nobody set a messaging timeout.
  static constexpr double defaultMessagingTimeout = 6.0;

  // How an element answers a batched read.
  enum class BatchedReads {
    slots,       // one slot per name, as the platform does
    fail,        // the call fails as a whole (absent)
    wrongCount,  // the call answers one slot fewer than asked
  };

  // The shape of a generated subtree: `count` new elements below an existing
  // one, filled breadth first, each with up to `fanOut` children. Every
  // generated element gets "AXRole" "AXGroup", "AXTitle" "Item <n>" and
  // "AXIdentifier" "item-<n>" (n counting from 1 in breadth-first order),
  // then `attributes` on top. Numbering continues across calls for one root.
  struct GeneratedTree {
    std::size_t count = 0;
    std::size_t fanOut = 10;
    std::vector<std::pair<std::string, AccessibilityValue>> attributes;
  };

  // One accepted or refused setting, in call order.
  struct Setting {
    std::string elementID;
    std::string attribute;
    AccessibilityValue value;
    bool accepted = false;
  };

  // `clock` is advanced by the time slow answers take; both must outlive this.
  SimulatedAccessibility(SimulatedClock& clock, FaultInjector& faults);
  SimulatedAccessibility(const SimulatedAccessibility&) = delete;
  SimulatedAccessibility& operator=(const SimulatedAccessibility&) = delete;

  // Builders. Element identifiers are unique across all processes.
  // Makes `elementID` the application element of the process.
  SimulatedAccessibility& addApplication(std::int32_t processID, const std::string& elementID);
  SimulatedAccessibility& addElement(const std::string& elementID, std::int32_t processID);
  // Stores a value; AccessibilityError makes the attribute fail.
  SimulatedAccessibility& setValue(const std::string& elementID,
                                   const std::string& attribute,
                                   AccessibilityValue value);
  // Sets "AXChildren" to references to these elements, in this order.
  SimulatedAccessibility& setChildren(const std::string& elementID, const std::vector<std::string>& childIDs);
  // Every call on the element takes this long; at or past the messaging
  // timeout in force the call fails after the timeout.
  SimulatedAccessibility& setResponseDelay(const std::string& elementID, double seconds);
  SimulatedAccessibility& refuseSetting(const std::string& elementID, const std::string& attribute);
  // The element goes away: every call on a handle to it fails from now on.
  // Its parent still lists it until the test changes the parent's children.
  SimulatedAccessibility& removeElement(const std::string& elementID);
  SimulatedAccessibility& setBatchedReads(const std::string& elementID, BatchedReads answer);
  // Adds `shape.count` elements of the root's process below `rootID` and
  // returns their identifiers in breadth-first order; the root keeps the
  // children it had and the generated ones follow. Generated identifiers
  // start with "#", so they never clash with a scenario's own.
  std::vector<std::string> addGeneratedDescendants(const std::string& rootID, const GeneratedTree& shape);

  // A value referring to an element, for setValue.
  AccessibilityValue reference(const std::string& elementID) const;

  // Inspection for tests.
  // The identifier behind a handle this client made; absent for others.
  static std::optional<std::string> elementID(const AccessibilityElement& element);
  std::vector<Setting> settings() const;
  std::optional<double> messagingTimeout(const std::string& elementID) const;
  std::optional<AccessibilityValue> storedValue(const std::string& elementID, const std::string& attribute) const;
  // How many read and set calls were made, for checking that nothing was asked.
  std::uint64_t callCount() const;

  // Notifications. Queues `notification` about the element to every observer
  // of its process subscribed to that name on the element or on its
  // application element, and attached to a loop at this moment; each delivery
  // runs on that loop and is dropped if the observer was detached meanwhile.
  // Returns how many deliveries were queued. Any thread.
  std::size_t postNotification(const std::string& elementID, const std::string& notification);
  // Blocks until every loop has run what was queued on it before this call
  // (a loop that stops meanwhile counts as done). Not from a loop's own thread.
  void drainObserverLoops();
  // The threads that created, subscribed, attached, detached or received
  // notifications for an observer, for checking thread confinement.
  std::set<std::thread::id> observerThreads() const;
  // Observers alive and attached to a loop now.
  std::size_t attachedObserverCount() const;
  // createObserver calls so far, including refused ones.
  std::uint64_t observerCreations() const;

  // Reads the "accessibility" section (format in docs/scenario-accessibility.md);
  // throws ScenarioError naming the offending path.
  void loadScenario(const nlohmann::json& section);

  // AccessibilityClient
  AccessibilityElement applicationElement(std::int32_t processID) override;
  std::optional<std::vector<AccessibilityValue>> readAttributes(const AccessibilityElement& element,
                                                                std::span<const std::string> names) override;
  std::optional<AccessibilityValue> readAttribute(const AccessibilityElement& element,
                                                  const std::string& name) override;
  bool setAttribute(const AccessibilityElement& element,
                    const std::string& name,
                    const AccessibilityValue& value) override;
  void setMessagingTimeout(const AccessibilityElement& element, double seconds) override;

  // AccessibilityObservers
  std::shared_ptr<AccessibilityEventLoop> currentThreadLoop() override;
  std::shared_ptr<AccessibilityObserver> createObserver(std::int32_t processID,
                                                        AccessibilityNotificationCallback callback) override;
  bool addNotification(AccessibilityObserver& observer,
                       const AccessibilityElement& element,
                       const std::string& notification,
                       void* context) override;

 private:
  class ObserverLoop;
  class Observer;
  friend class ObserverLoop;

  // For ObserverLoop: records the attachment under mutex_.
  void setAttachment(const std::shared_ptr<AccessibilityObserver>& observer, const ObserverLoop* loop);
  // Runs one queued delivery on `loop` if the observer is still attached there.
  void deliver(const std::weak_ptr<Observer>& observer,
               const ObserverLoop* loop,
               const AccessibilityElement& element,
               const std::string& notification,
               void* context);

  struct Element {
    std::int32_t processID = 0;
    std::map<std::string, AccessibilityValue, std::less<>> attributes;
    double responseDelay = 0.0;
    std::optional<double> messagingTimeout;
    std::set<std::string, std::less<>> refusedSettings;
    BatchedReads batchedReads = BatchedReads::slots;
  };

  // What one call costs: the time it takes, and whether it answers at all.
  struct Answer {
    double elapsed = 0.0;
    bool answers = false;
  };

  Element& element(const std::string& elementID);  // creates nothing; throws for unknown ids
  // Under mutex_: a new element; throws if the identifier is taken.
  Element& addElementLocked(const std::string& elementID, std::int32_t processID);
  // Under mutex_: whether the element exists and answers in time, and how long the call takes.
  Answer answerLocked(const std::optional<std::string>& elementID) const;
  void elapse(double seconds);

  SimulatedClock& clock_;
  FaultInjector& faults_;

  mutable std::mutex mutex_;  // guards everything below
  std::map<std::string, Element, std::less<>> elements_;
  std::map<std::int32_t, std::string> applications_;
  std::vector<Setting> settings_;
  std::uint64_t calls_ = 0;
  std::vector<std::weak_ptr<Observer>> observers_;
  std::vector<std::weak_ptr<ObserverLoop>> loops_;
  std::set<std::thread::id> observerThreads_;
  std::uint64_t observerCreations_ = 0;
  std::map<std::string, std::size_t, std::less<>> generatedBelow_;  // generated elements per root so far
};

}  // namespace Sablekit
