#include "Sablekit/platform/simulated/SimulatedAccessibility.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <stdexcept>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "Sablekit/platform/simulated/ScenarioFields.h"
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

namespace {

using ScenarioFields::expectObject;
using ScenarioFields::fail;

// The simulated identity: the element's identifier. Each handle handed out
// gets its own identity object, so code that compared handles by address
// would see two different elements.
class SimulatedElementIdentity final : public AccessibilityElementIdentity {
 public:
  explicit SimulatedElementIdentity(std::string elementID) : elementID_(std::move(elementID)) {}

  bool equals(const AccessibilityElementIdentity& other) const override {
    const auto* simulated = dynamic_cast<const SimulatedElementIdentity*>(&other);
    return simulated != nullptr && simulated->elementID_ == elementID_;
  }
  std::size_t hash() const override { return std::hash<std::string>{}(elementID_); }

  const std::string& elementID() const { return elementID_; }

 private:
  std::string elementID_;
};

AccessibilityElement makeHandle(const std::string& elementID) {
  return AccessibilityElement(std::make_shared<const SimulatedElementIdentity>(elementID));
}

// A copy of a stored value with fresh handles for every element it refers to.
AccessibilityValue handOut(const AccessibilityValue& value) {
  if (const auto* reference = std::get_if<AccessibilityElementReference>(&value.storage)) {
    const auto id = SimulatedAccessibility::elementID(reference->element);
    return id ? AccessibilityValue(AccessibilityElementReference{makeHandle(*id)}) : value;
  }
  if (const auto* array = std::get_if<AccessibilityArray>(&value.storage)) {
    AccessibilityArray copy;
    copy.elements.reserve(array->elements.size());
    for (const auto& entry : array->elements) {
      copy.elements.push_back(handOut(entry));
    }
    return copy;
  }
  return value;
}

}  // namespace

SimulatedAccessibility::SimulatedAccessibility(SimulatedClock& clock, FaultInjector& faults)
    : clock_(clock), faults_(faults) {}

SimulatedAccessibility& SimulatedAccessibility::addApplication(std::int32_t processID, const std::string& elementID) {
  addElement(elementID, processID);
  const std::lock_guard lock(mutex_);
  applications_[processID] = elementID;
  return *this;
}

SimulatedAccessibility& SimulatedAccessibility::addElement(const std::string& elementID, std::int32_t processID) {
  const std::lock_guard lock(mutex_);
  addElementLocked(elementID, processID);
  return *this;
}

SimulatedAccessibility::Element& SimulatedAccessibility::addElementLocked(const std::string& elementID,
                                                                          std::int32_t processID) {
  const auto [position, added] = elements_.try_emplace(elementID);
  if (!added) {
    throw std::invalid_argument("accessibility element " + elementID + " already exists");
  }
  position->second.processID = processID;
  return position->second;
}

SimulatedAccessibility::Element& SimulatedAccessibility::element(const std::string& elementID) {
  const auto found = elements_.find(elementID);
  if (found == elements_.end()) {
    throw std::invalid_argument("no accessibility element " + elementID);
  }
  return found->second;
}

SimulatedAccessibility& SimulatedAccessibility::setValue(const std::string& elementID,
                                                         const std::string& attribute,
                                                         AccessibilityValue value) {
  const std::lock_guard lock(mutex_);
  element(elementID).attributes[attribute] = std::move(value);
  return *this;
}

SimulatedAccessibility& SimulatedAccessibility::setChildren(const std::string& elementID,
                                                            const std::vector<std::string>& childIDs) {
  AccessibilityArray children;
  for (const auto& childID : childIDs) {
    children.elements.emplace_back(AccessibilityElementReference{makeHandle(childID)});
  }
  return setValue(elementID, "AXChildren", std::move(children));
}

SimulatedAccessibility& SimulatedAccessibility::setResponseDelay(const std::string& elementID, double seconds) {
  const std::lock_guard lock(mutex_);
  element(elementID).responseDelay = seconds;
  return *this;
}

SimulatedAccessibility& SimulatedAccessibility::refuseSetting(const std::string& elementID,
                                                              const std::string& attribute) {
  const std::lock_guard lock(mutex_);
  element(elementID).refusedSettings.insert(attribute);
  return *this;
}

SimulatedAccessibility& SimulatedAccessibility::removeElement(const std::string& elementID) {
  const std::lock_guard lock(mutex_);
  elements_.erase(elementID);
  return *this;
}

SimulatedAccessibility& SimulatedAccessibility::setBatchedReads(const std::string& elementID, BatchedReads answer) {
  const std::lock_guard lock(mutex_);
  element(elementID).batchedReads = answer;
  return *this;
}

std::vector<std::string> SimulatedAccessibility::addGeneratedDescendants(const std::string& rootID,
                                                                         const GeneratedTree& shape) {
  if (shape.count > 0 && shape.fanOut == 0) {
    throw std::invalid_argument("a generated tree needs a fan-out of at least 1");
  }
  const std::lock_guard lock(mutex_);
  const std::int32_t processID = element(rootID).processID;
  // Position 0 is the root, 1...count the generated elements; the children of
  // position p are fanOut * p + 1 ... fanOut * p + fanOut.
  // Numbering continues across calls for the same root, so identifiers stay unique.
  std::size_t& generatedBefore = generatedBelow_[rootID];
  std::vector<std::string> ids;
  ids.reserve(shape.count);
  for (std::size_t position = 1; position <= shape.count; ++position) {
    const std::string number = std::to_string(generatedBefore + position);
    ids.push_back("#" + rootID + "/" + number);
    Element& created = addElementLocked(ids.back(), processID);
    created.attributes["AXRole"] = std::string("AXGroup");
    created.attributes["AXTitle"] = "Item " + number;
    created.attributes["AXIdentifier"] = "item-" + number;
    for (const auto& [name, value] : shape.attributes) {
      created.attributes[name] = value;
    }
  }
  for (std::size_t parent = 0; parent <= shape.count && parent * shape.fanOut < shape.count; ++parent) {
    Element& target = element(parent == 0 ? rootID : ids[parent - 1]);
    auto& children = target.attributes["AXChildren"];
    if (!std::holds_alternative<AccessibilityArray>(children.storage)) {
      children = AccessibilityArray{};
    }
    auto& list = std::get<AccessibilityArray>(children.storage).elements;
    for (std::size_t child = parent * shape.fanOut + 1; child <= std::min(shape.count, (parent + 1) * shape.fanOut);
         ++child) {
      list.emplace_back(AccessibilityElementReference{makeHandle(ids[child - 1])});
    }
  }
  generatedBefore += shape.count;
  return ids;
}

AccessibilityValue SimulatedAccessibility::reference(const std::string& elementID) const {
  return AccessibilityElementReference{makeHandle(elementID)};
}

std::optional<std::string> SimulatedAccessibility::elementID(const AccessibilityElement& element) {
  const auto* identity = dynamic_cast<const SimulatedElementIdentity*>(element.identity());
  if (identity == nullptr) {
    return std::nullopt;
  }
  return identity->elementID();
}

std::vector<SimulatedAccessibility::Setting> SimulatedAccessibility::settings() const {
  const std::lock_guard lock(mutex_);
  return settings_;
}

std::optional<double> SimulatedAccessibility::messagingTimeout(const std::string& elementID) const {
  const std::lock_guard lock(mutex_);
  const auto found = elements_.find(elementID);
  return found == elements_.end() ? std::nullopt : found->second.messagingTimeout;
}

std::optional<AccessibilityValue> SimulatedAccessibility::storedValue(const std::string& elementID,
                                                                      const std::string& attribute) const {
  const std::lock_guard lock(mutex_);
  const auto found = elements_.find(elementID);
  if (found == elements_.end()) {
    return std::nullopt;
  }
  const auto value = found->second.attributes.find(attribute);
  if (value == found->second.attributes.end()) {
    return std::nullopt;
  }
  return handOut(value->second);
}

std::uint64_t SimulatedAccessibility::callCount() const {
  const std::lock_guard lock(mutex_);
  return calls_;
}

SimulatedAccessibility::Answer SimulatedAccessibility::answerLocked(const std::optional<std::string>& elementID) const {
  if (!elementID) {
    return {};
  }
  const auto found = elements_.find(*elementID);
  if (found == elements_.end()) {
    return {};  // a vanished element fails at once, as an invalid element does
  }
  const Element& target = found->second;
  // The element's own timeout, else its application's, else the platform default.
  double timeout = defaultMessagingTimeout;
  if (target.messagingTimeout) {
    timeout = *target.messagingTimeout;
  } else if (const auto application = applications_.find(target.processID); application != applications_.end()) {
    const auto applicationElement = elements_.find(application->second);
    if (applicationElement != elements_.end() && applicationElement->second.messagingTimeout) {
      timeout = *applicationElement->second.messagingTimeout;
    }
  }
  if (target.responseDelay >= timeout) {
    return {.elapsed = timeout, .answers = false};
  }
  return {.elapsed = target.responseDelay, .answers = true};
}

void SimulatedAccessibility::elapse(double seconds) {
  // Called without mutex_: advancing runs due timers, which may call back in.
  if (seconds > 0) {
    clock_.advance(seconds);
  }
}

AccessibilityElement SimulatedAccessibility::applicationElement(std::int32_t processID) {
  const std::lock_guard lock(mutex_);
  const auto found = applications_.find(processID);
  // A process without a tree still gets a handle, one that no element matches.
  return makeHandle(found != applications_.end() ? found->second : "#process:" + std::to_string(processID));
}

std::optional<std::vector<AccessibilityValue>> SimulatedAccessibility::readAttributes(
    const AccessibilityElement& element,
    std::span<const std::string> names) {
  const auto fault = faults_.take(SimulatedOperation::accessibilityReadAttributes);
  const auto id = elementID(element);
  std::optional<std::vector<AccessibilityValue>> result;
  double elapsed = 0.0;
  {
    const std::lock_guard lock(mutex_);
    ++calls_;
    const Answer answer = answerLocked(id);
    elapsed = answer.elapsed;
    const Element* target = answer.answers ? &elements_.at(*id) : nullptr;
    if (target != nullptr && fault != FaultKind::fail && target->batchedReads != BatchedReads::fail) {
      result.emplace();
      if (fault != FaultKind::empty) {
        for (const auto& name :
             names.first(target->batchedReads == BatchedReads::wrongCount && !names.empty() ? names.size() - 1
                                                                                            : names.size())) {
          const auto value = target->attributes.find(name);
          // An attribute the element lacks answers with an error slot, as the platform does.
          result->push_back(value == target->attributes.end() ? AccessibilityValue(AccessibilityError{})
                                                              : handOut(value->second));
        }
      }
    }
  }
  elapse(elapsed);
  return result;
}

std::optional<AccessibilityValue> SimulatedAccessibility::readAttribute(const AccessibilityElement& element,
                                                                        const std::string& name) {
  const auto fault = faults_.take(SimulatedOperation::accessibilityReadAttribute);
  const auto id = elementID(element);
  std::optional<AccessibilityValue> result;
  double elapsed = 0.0;
  {
    const std::lock_guard lock(mutex_);
    ++calls_;
    const Answer answer = answerLocked(id);
    elapsed = answer.elapsed;
    if (answer.answers && !fault) {
      const Element& target = elements_.at(*id);
      const auto value = target.attributes.find(name);
      // A failing attribute fails the single call instead of filling a slot.
      if (value != target.attributes.end() && !std::holds_alternative<AccessibilityError>(value->second.storage)) {
        result = handOut(value->second);
      }
    }
  }
  elapse(elapsed);
  return result;
}

bool SimulatedAccessibility::setAttribute(const AccessibilityElement& element,
                                          const std::string& name,
                                          const AccessibilityValue& value) {
  const auto fault = faults_.take(SimulatedOperation::accessibilitySetAttribute);
  const auto id = elementID(element);
  bool accepted = false;
  double elapsed = 0.0;
  {
    const std::lock_guard lock(mutex_);
    ++calls_;
    const Answer answer = answerLocked(id);
    elapsed = answer.elapsed;
    if (answer.answers && fault != FaultKind::fail) {
      Element& target = elements_.at(*id);
      accepted = !target.refusedSettings.contains(name);
      if (accepted && fault != FaultKind::empty) {
        target.attributes[name] = value;
      }
    }
    settings_.push_back({.elementID = id.value_or(""), .attribute = name, .value = value, .accepted = accepted});
  }
  elapse(elapsed);
  return accepted;
}

void SimulatedAccessibility::setMessagingTimeout(const AccessibilityElement& element, double seconds) {
  const auto id = elementID(element);
  const std::lock_guard lock(mutex_);
  if (!id || !(seconds > 0)) {
    return;
  }
  if (const auto found = elements_.find(*id); found != elements_.end()) {
    found->second.messagingTimeout = seconds;
  }
}

// ---- scenario ----

namespace {

using Json = nlohmann::json;

// Bounds what one scenario line can make the simulator allocate.
constexpr std::size_t maximumGeneratedElements = 1'000'000;

double finiteNumber(const Json& value, const std::string& path) {
  if (!value.is_number()) {
    fail(path, "expected a number");
  }
  const double number = value.get<double>();
  if (!std::isfinite(number)) {
    fail(path, "expected a finite number");
  }
  return number;
}

std::vector<double> numbers(const Json& value, const std::string& path, std::size_t count) {
  if (!value.is_array() || value.size() != count) {
    fail(path, "expected an array of " + std::to_string(count) + " numbers");
  }
  std::vector<double> result;
  for (std::size_t index = 0; index < count; ++index) {
    result.push_back(finiteNumber(value[index], path + "[" + std::to_string(index) + "]"));
  }
  return result;
}

std::int64_t integer(const Json& value, const std::string& path) {
  if (!value.is_number_integer() || (value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX)) {
    fail(path, "expected an integer");
  }
  return value.get<std::int64_t>();
}

// One attribute value; element references are collected for checking once
// every element is known.
AccessibilityValue parseValue(const Json& value,
                              const std::string& path,
                              std::vector<std::pair<std::string, std::string>>& references,
                              const SimulatedAccessibility& client) {
  if (value.is_null()) {
    return AccessibilityNull{};
  }
  if (value.is_string()) {
    return value.get<std::string>();
  }
  if (value.is_boolean()) {
    return value.get<bool>();
  }
  if (value.is_number_integer()) {
    return integer(value, path);
  }
  if (value.is_number()) {
    return finiteNumber(value, path);
  }
  if (value.is_array()) {
    AccessibilityArray array;
    for (std::size_t index = 0; index < value.size(); ++index) {
      array.elements.push_back(parseValue(value[index], path + "[" + std::to_string(index) + "]", references, client));
    }
    return array;
  }
  if (!value.is_object() || value.size() != 1) {
    fail(path, "expected a value or an object with one of url, point, size, rect, range, element, error, unsupported");
  }
  const std::string kind = value.begin().key();
  const Json& payload = value.begin().value();
  const std::string inner = path + "." + kind;
  if (kind == "url") {
    if (!payload.is_string()) {
      fail(inner, "expected a string");
    }
    return AccessibilityURL{payload.get<std::string>()};
  }
  if (kind == "point") {
    const auto n = numbers(payload, inner, 2);
    return AccessibilityPoint{n[0], n[1]};
  }
  if (kind == "size") {
    const auto n = numbers(payload, inner, 2);
    return AccessibilitySize{n[0], n[1]};
  }
  if (kind == "rect") {
    const auto n = numbers(payload, inner, 4);
    return AccessibilityRect{n[0], n[1], n[2], n[3]};
  }
  if (kind == "range") {
    if (!payload.is_array() || payload.size() != 2) {
      fail(inner, "expected an array of 2 integers");
    }
    return AccessibilityRange{integer(payload[0], inner + "[0]"), integer(payload[1], inner + "[1]")};
  }
  if (kind == "element") {
    if (!payload.is_string()) {
      fail(inner, "expected an element identifier");
    }
    references.emplace_back(payload.get<std::string>(), inner);
    return client.reference(payload.get<std::string>());
  }
  if (kind == "error" || kind == "unsupported") {
    if (payload != true) {
      fail(inner, "expected true");
    }
    return kind == "error" ? AccessibilityValue(AccessibilityError{})
                           : AccessibilityValue(AccessibilityUnsupportedValue{});
  }
  fail(inner, "unknown value kind");
}

// Loads the nested elements of one scenario section into a client,
// depth-first. Element references are collected and checked once every
// element is known, since a reference may point forwards.
class ScenarioElementLoader {
 public:
  explicit ScenarioElementLoader(SimulatedAccessibility& client) : client_(client) {}

  // Loads an application element (isApplication) or an ordinary one with its
  // whole subtree; returns its identifier.
  std::string load(const Json& object, const std::string& path, std::int32_t processID, bool isApplication) {
    expectObject(
        object, path,
        isApplication
            ? std::initializer_list<std::string_view>{"processID", "id", "attributes", "children", "responseDelay",
                                                      "refuseSetting", "batchedReads", "generated"}
            : std::initializer_list<std::string_view>{"id", "attributes", "children", "responseDelay", "refuseSetting",
                                                      "batchedReads", "generated"});
    const std::string id = identifier(object, path);
    if (isApplication) {
      client_.addApplication(processID, id);
    } else {
      client_.addElement(id, processID);
    }
    if (const auto found = object.find("attributes"); found != object.end()) {
      loadAttributes(id, *found, path + ".attributes");
    }
    if (const auto found = object.find("responseDelay"); found != object.end()) {
      const double delay = finiteNumber(*found, path + ".responseDelay");
      if (delay < 0) {
        fail(path + ".responseDelay", "expected a number of seconds >= 0");
      }
      client_.setResponseDelay(id, delay);
    }
    if (const auto found = object.find("refuseSetting"); found != object.end()) {
      loadRefusedSettings(id, *found, path + ".refuseSetting");
    }
    if (const auto found = object.find("children"); found != object.end()) {
      loadChildren(id, *found, path + ".children", processID);
    }
    if (const auto found = object.find("batchedReads"); found != object.end()) {
      loadBatchedReads(id, *found, path + ".batchedReads");
    }
    if (const auto found = object.find("generated"); found != object.end()) {
      loadGenerated(id, *found, path + ".generated");
    }
    return id;
  }

  // Fails on the first reference to an element that was never declared.
  void checkReferences() const {
    for (const auto& [target, path] : references_) {
      if (!known_.contains(target)) {
        fail(path, "no element with identifier " + target);
      }
    }
  }

 private:
  // The given identifier, or a generated "#n" one; unique in the section.
  std::string identifier(const Json& object, const std::string& path) {
    std::string id;
    if (const auto found = object.find("id"); found != object.end()) {
      if (!found->is_string() || found->get<std::string>().empty() || found->get<std::string>()[0] == '#') {
        fail(path + ".id", "expected a non-empty identifier not starting with #");
      }
      id = found->get<std::string>();
    } else {
      id = "#" + std::to_string(++generated_);
    }
    if (!known_.insert(id).second) {
      fail(path + ".id", "duplicate element identifier " + id);
    }
    return id;
  }

  void loadAttributes(const std::string& id, const Json& attributes, const std::string& path) {
    if (!attributes.is_object()) {
      fail(path, "expected an object");
    }
    for (const auto& [name, value] : attributes.items()) {
      if (name == "AXChildren") {
        fail(path + ".AXChildren", "give children with the children key");
      }
      client_.setValue(id, name, parseValue(value, path + "." + name, references_, client_));
    }
  }

  void loadRefusedSettings(const std::string& id, const Json& names, const std::string& path) {
    if (!names.is_array()) {
      fail(path, "expected an array of attribute names");
    }
    for (std::size_t index = 0; index < names.size(); ++index) {
      if (!names[index].is_string()) {
        fail(path + "[" + std::to_string(index) + "]", "expected an attribute name");
      }
      client_.refuseSetting(id, names[index].get<std::string>());
    }
  }

  void loadChildren(const std::string& id, const Json& children, const std::string& path, std::int32_t processID) {
    if (!children.is_array()) {
      fail(path, "expected an array of elements");
    }
    std::vector<std::string> childIDs;
    for (std::size_t index = 0; index < children.size(); ++index) {
      childIDs.push_back(load(children[index], path + "[" + std::to_string(index) + "]", processID, false));
    }
    client_.setChildren(id, childIDs);
  }

  void loadBatchedReads(const std::string& id, const Json& value, const std::string& path) {
    using BatchedReads = SimulatedAccessibility::BatchedReads;
    static const std::map<std::string, BatchedReads> answers{
        {"slots", BatchedReads::slots}, {"fail", BatchedReads::fail}, {"wrongCount", BatchedReads::wrongCount}};
    const auto answer = value.is_string() ? answers.find(value.get<std::string>()) : answers.end();
    if (answer == answers.end()) {
      fail(path, "expected \"slots\", \"fail\" or \"wrongCount\"");
    }
    client_.setBatchedReads(id, answer->second);
  }

  void loadGenerated(const std::string& id, const Json& generated, const std::string& at) {
    expectObject(generated, at, {"count", "fanOut", "attributes"});
    SimulatedAccessibility::GeneratedTree shape;
    const auto count = generated.find("count");
    if (count == generated.end()) {
      fail(at + ".count", "missing");
    }
    shape.count = ScenarioFields::integer<std::uint32_t>(*count, at + ".count");
    if (shape.count > maximumGeneratedElements) {
      fail(at + ".count", "at most " + std::to_string(maximumGeneratedElements) + " elements");
    }
    if (const auto fanOut = generated.find("fanOut"); fanOut != generated.end()) {
      shape.fanOut = ScenarioFields::integer<std::uint32_t>(*fanOut, at + ".fanOut");
      if (shape.fanOut == 0) {
        fail(at + ".fanOut", "expected at least 1");
      }
    }
    if (const auto attributes = generated.find("attributes"); attributes != generated.end()) {
      if (!attributes->is_object()) {
        fail(at + ".attributes", "expected an object");
      }
      for (const auto& [name, value] : attributes->items()) {
        if (name == "AXChildren") {
          fail(at + ".attributes.AXChildren", "generated elements get their children from the shape");
        }
        shape.attributes.emplace_back(name, parseValue(value, at + ".attributes." + name, references_, client_));
      }
    }
    for (auto& generatedID : client_.addGeneratedDescendants(id, shape)) {
      known_.insert(std::move(generatedID));
    }
  }

  SimulatedAccessibility& client_;
  std::vector<std::pair<std::string, std::string>> references_;  // (target id, path)
  std::set<std::string> known_;
  std::size_t generated_ = 0;
};

}  // namespace

void SimulatedAccessibility::loadScenario(const Json& section) {
  expectObject(section, "accessibility", {"applications"});
  const auto applications = section.find("applications");
  if (applications == section.end()) {
    return;
  }
  if (!applications->is_array()) {
    fail("accessibility.applications", "expected an array");
  }
  ScenarioElementLoader loader(*this);
  std::set<std::int32_t> processes;
  for (std::size_t index = 0; index < applications->size(); ++index) {
    const std::string path = "accessibility.applications[" + std::to_string(index) + "]";
    const Json& application = (*applications)[index];
    if (!application.is_object()) {
      fail(path, "expected an object");
    }
    const auto processID = application.find("processID");
    if (processID == application.end()) {
      fail(path + ".processID", "missing");
    }
    const std::int64_t value = integer(*processID, path + ".processID");
    if (value < INT32_MIN || value > INT32_MAX) {
      fail(path + ".processID", "integer out of range");
    }
    if (!processes.insert(static_cast<std::int32_t>(value)).second) {
      fail(path + ".processID", "duplicate process");
    }
    loader.load(application, path, static_cast<std::int32_t>(value), true);
  }
  loader.checkReferences();
}

// ---- Observers ----

// A simulated observer: its process, its callback and its subscriptions. The
// members after `callback` are guarded by the client's mutex_.
class SimulatedAccessibility::Observer final : public AccessibilityObserver {
 public:
  struct Subscription {
    std::string elementID;
    std::string notification;
    void* context = nullptr;
  };

  Observer(std::int32_t owner, AccessibilityNotificationCallback handler) : processID(owner), callback(handler) {}

  const std::int32_t processID;
  const AccessibilityNotificationCallback callback;
  std::vector<Subscription> subscriptions;
  const ObserverLoop* attachedTo = nullptr;
};

// A thread's loop: a queue of blocks run in order on the thread that calls run().
class SimulatedAccessibility::ObserverLoop final : public AccessibilityEventLoop {
 public:
  explicit ObserverLoop(SimulatedAccessibility& client) : client_(client) {}

  void run() override {
    std::deque<std::function<void()>> dropped;
    std::unique_lock guard(mutex_);
    while (true) {
      wake_.wait(guard, [this] { return stopped_ || !tasks_.empty(); });
      if (stopped_) {
        break;
      }
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      guard.unlock();
      task();
      task = nullptr;  // released on this thread, before the next task
      guard.lock();
    }
    dropped.swap(tasks_);
    guard.unlock();
  }

  void perform(std::function<void()> block) override {
    {
      const std::lock_guard guard(mutex_);
      if (stopped_) {
        return;  // nothing runs on a stopped loop
      }
      tasks_.push_back(std::move(block));
    }
    wake_.notify_all();
  }

  void stop() override {
    {
      const std::lock_guard guard(mutex_);
      stopped_ = true;
    }
    wake_.notify_all();
  }

  bool stopped() {
    const std::lock_guard guard(mutex_);
    return stopped_;
  }

  void attach(const std::shared_ptr<AccessibilityObserver>& observer) override {
    client_.setAttachment(observer, this);
  }
  void detach(const std::shared_ptr<AccessibilityObserver>& observer) override {
    client_.setAttachment(observer, nullptr);
  }

 private:
  SimulatedAccessibility& client_;
  std::mutex mutex_;  // guards tasks_ and stopped_
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopped_ = false;
};

std::shared_ptr<AccessibilityEventLoop> SimulatedAccessibility::currentThreadLoop() {
  auto loop = std::make_shared<ObserverLoop>(*this);
  const std::lock_guard lock(mutex_);
  std::erase_if(loops_, [](const auto& entry) { return entry.expired(); });
  loops_.push_back(loop);
  return loop;
}

std::shared_ptr<AccessibilityObserver> SimulatedAccessibility::createObserver(
    std::int32_t processID,
    AccessibilityNotificationCallback callback) {
  const auto fault = faults_.take(SimulatedOperation::accessibilityCreateObserver);
  const std::lock_guard lock(mutex_);
  ++observerCreations_;
  observerThreads_.insert(std::this_thread::get_id());
  if (fault || callback == nullptr) {
    return nullptr;
  }
  auto observer = std::make_shared<Observer>(processID, callback);
  std::erase_if(observers_, [](const auto& entry) { return entry.expired(); });
  observers_.push_back(observer);
  return observer;
}

bool SimulatedAccessibility::addNotification(AccessibilityObserver& observer,
                                             const AccessibilityElement& element,
                                             const std::string& notification,
                                             void* context) {
  const auto fault = faults_.take(SimulatedOperation::accessibilityAddNotification);
  auto* simulated = dynamic_cast<Observer*>(&observer);
  const auto id = elementID(element);
  const std::lock_guard lock(mutex_);
  observerThreads_.insert(std::this_thread::get_id());
  if (simulated == nullptr || fault == FaultKind::fail || !id) {
    return false;
  }
  // Like the platform, an element that is gone or of another process cannot be subscribed to.
  const auto found = elements_.find(*id);
  if (found == elements_.end() || found->second.processID != simulated->processID) {
    return false;
  }
  if (fault != FaultKind::empty) {
    simulated->subscriptions.push_back({*id, notification, context});
  }
  return true;
}

void SimulatedAccessibility::setAttachment(const std::shared_ptr<AccessibilityObserver>& observer,
                                           const ObserverLoop* loop) {
  auto* simulated = dynamic_cast<Observer*>(observer.get());
  const std::lock_guard lock(mutex_);
  observerThreads_.insert(std::this_thread::get_id());
  if (simulated == nullptr) {
    return;
  }
  if (loop != nullptr) {
    if (simulated->attachedTo == nullptr) {
      simulated->attachedTo = loop;
    }
  } else {
    simulated->attachedTo = nullptr;
  }
}

std::size_t SimulatedAccessibility::postNotification(const std::string& elementID, const std::string& notification) {
  struct Delivery {
    std::weak_ptr<Observer> observer;
    std::shared_ptr<ObserverLoop> loop;
    void* context;
  };
  std::vector<Delivery> deliveries;
  {
    const std::lock_guard lock(mutex_);
    const auto found = elements_.find(elementID);
    if (found == elements_.end()) {
      throw std::invalid_argument("no accessibility element " + elementID);
    }
    const std::int32_t processID = found->second.processID;
    const auto application = applications_.find(processID);
    for (const auto& entry : observers_) {
      const auto observer = entry.lock();
      if (!observer || observer->processID != processID || observer->attachedTo == nullptr) {
        continue;
      }
      std::shared_ptr<ObserverLoop> loop;
      for (const auto& candidate : loops_) {
        if (auto live = candidate.lock(); live && live.get() == observer->attachedTo) {
          loop = std::move(live);
        }
      }
      for (const auto& subscription : observer->subscriptions) {
        const bool covers = subscription.elementID == elementID ||
                            (application != applications_.end() && subscription.elementID == application->second);
        if (loop && covers && subscription.notification == notification) {
          deliveries.push_back({entry, loop, subscription.context});
          break;  // one delivery per observer, as the platform coalesces
        }
      }
    }
  }
  // Queued outside mutex_; the weak references keep the last release of an
  // observer on its own thread.
  for (auto& delivery : deliveries) {
    const ObserverLoop* loop = delivery.loop.get();
    delivery.loop->perform([this, observer = delivery.observer, loop, element = makeHandle(elementID), notification,
                            context = delivery.context] { deliver(observer, loop, element, notification, context); });
  }
  return deliveries.size();
}

void SimulatedAccessibility::deliver(const std::weak_ptr<Observer>& observer,
                                     const ObserverLoop* loop,
                                     const AccessibilityElement& element,
                                     const std::string& notification,
                                     void* context) {
  const auto target = observer.lock();
  if (!target) {
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    observerThreads_.insert(std::this_thread::get_id());
    if (target->attachedTo != loop) {
      return;  // detached since it was posted
    }
  }
  target->callback(*target, element, notification, context);
}

void SimulatedAccessibility::drainObserverLoops() {
  std::vector<std::shared_ptr<ObserverLoop>> loops;
  {
    const std::lock_guard lock(mutex_);
    for (const auto& entry : loops_) {
      if (auto loop = entry.lock()) {
        loops.push_back(std::move(loop));
      }
    }
  }
  for (const auto& loop : loops) {
    if (loop->stopped()) {
      continue;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    // A loop that stops drops the block, which breaks the promise and ends the wait.
    loop->perform([done] { done->set_value(); });
    done.reset();
    finished.wait();
  }
}

std::set<std::thread::id> SimulatedAccessibility::observerThreads() const {
  const std::lock_guard lock(mutex_);
  return observerThreads_;
}

std::size_t SimulatedAccessibility::attachedObserverCount() const {
  const std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(observers_.begin(), observers_.end(), [](const auto& entry) {
    const auto observer = entry.lock();
    return observer && observer->attachedTo != nullptr;
  }));
}

std::uint64_t SimulatedAccessibility::observerCreations() const {
  const std::lock_guard lock(mutex_);
  return observerCreations_;
}

}  // namespace Sablekit
