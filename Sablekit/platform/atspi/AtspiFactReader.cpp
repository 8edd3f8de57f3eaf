// Fetching elements' facts in pipelined waves.
#include "Sablekit/platform/atspi/AtspiFactReader.h"

#include <algorithm>
#include <array>
#include <string_view>

#include <atspi/atspi-constants.h>

#include "Sablekit/platform/atspi/AtspiVocabulary.h"

namespace Sablekit {

namespace {

constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

struct InterfaceName {
  std::string_view name;
  std::uint32_t bit;
};

constexpr std::array<InterfaceName, 13> interfaceNames{{
    {"org.a11y.atspi.Accessible", atspiAccessible},
    {"org.a11y.atspi.Application", atspiApplication},
    {"org.a11y.atspi.Component", atspiComponent},
    {"org.a11y.atspi.Text", atspiText},
    {"org.a11y.atspi.EditableText", atspiEditableText},
    {"org.a11y.atspi.Value", atspiValue},
    {"org.a11y.atspi.Document", atspiDocument},
    {"org.a11y.atspi.Hypertext", atspiHypertext},
    {"org.a11y.atspi.Action", atspiAction},
    {"org.a11y.atspi.Selection", atspiSelection},
    {"org.a11y.atspi.Table", atspiTable},
    {"org.a11y.atspi.Image", atspiImage},
    {"org.a11y.atspi.Collection", atspiCollection},
}};

std::map<std::string, std::string> stringDictionary(GVariant* dictionary) {
  std::map<std::string, std::string> result;
  GVariantIter iter;
  g_variant_iter_init(&iter, dictionary);
  const gchar* key = nullptr;
  const gchar* value = nullptr;
  while (g_variant_iter_next(&iter, "{&s&s}", &key, &value)) {
    result.emplace(key, value);
  }
  return result;
}

std::string stringProperty(GVariant* value) {
  return g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ? g_variant_get_string(value, nullptr) : "";
}

double doubleProperty(GVariant* properties, const char* name) {
  double value = 0;
  g_variant_lookup(properties, name, "d", &value);
  return value;
}

// GetAll of the Accessible interface: name, description, child count,
// identifier, help text and (from most toolkits) the attributes.
bool parseAccessibleProperties(GVariant* reply, AtspiElementFacts& facts) {
  GVariant* properties = g_variant_get_child_value(reply, 0);
  const GVariantHandle held(properties);
  GVariantIter iter;
  g_variant_iter_init(&iter, properties);
  const gchar* key = nullptr;
  GVariant* value = nullptr;
  bool hadAttributes = false;
  while (g_variant_iter_next(&iter, "{&sv}", &key, &value)) {
    const GVariantHandle heldValue(value);
    const std::string_view name(key);
    if (name == "Name") {
      facts.name = stringProperty(value);
    } else if (name == "Description") {
      facts.description = stringProperty(value);
    } else if (name == "AccessibleId") {
      facts.accessibleID = stringProperty(value);
    } else if (name == "HelpText") {
      facts.helpText = stringProperty(value);
    } else if (name == "ChildCount" && g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) {
      facts.childCount = g_variant_get_int32(value);
    } else if (name == "Attributes" && g_variant_is_of_type(value, G_VARIANT_TYPE("a{ss}"))) {
      facts.attributes = stringDictionary(value);
      hadAttributes = true;
    }
  }
  return hadAttributes;
}

std::uint64_t parseStates(GVariant* reply) {
  GVariantIter* words = nullptr;
  g_variant_get(reply, "(au)", &words);
  std::uint64_t states = 0;
  guint32 word = 0;
  for (int index = 0; index < 2 && g_variant_iter_next(words, "u", &word); ++index) {
    states |= static_cast<std::uint64_t>(word) << (32 * index);
  }
  g_variant_iter_free(words);
  return states;
}

std::uint32_t parseInterfaces(GVariant* reply) {
  GVariantIter* names = nullptr;
  g_variant_get(reply, "(as)", &names);
  std::uint32_t bits = 0;
  const gchar* name = nullptr;
  while (g_variant_iter_next(names, "&s", &name)) {
    for (const InterfaceName& known : interfaceNames) {
      if (known.name == name) {
        bits |= known.bit;
      }
    }
  }
  g_variant_iter_free(names);
  return bits;
}

AtspiCall call(const std::string& busName,
               const std::string& path,
               const char* interface,
               const char* method,
               GVariant* parameters,
               const char* replyType) {
  return AtspiCall{.busName = busName,
                   .objectPath = path,
                   .interface = interface,
                   .method = method,
                   .parameters = parameters,
                   .replyType = replyType};
}

// One element being fetched: where its calls go and which of a wave's calls are its.
struct Job {
  std::size_t index = 0;
  const AtspiElementIdentity* element = nullptr;
  AtspiFactReader::Target target;
  AtspiElementFacts facts;
  std::size_t firstCall = 0;
  bool failed = false;
  bool needsAttributes = false;
};

constexpr std::size_t coreCallCount = 5;

void addCoreCalls(Job& job, std::vector<AtspiCall>& calls) {
  const std::string& bus = job.target.busName;
  const std::string& path = job.element->path();
  job.firstCall = calls.size();
  calls.push_back(call(bus, path, propertiesInterface, "GetAll", g_variant_new("(s)", accessibleInterface), "(a{sv})"));
  calls.push_back(call(bus, path, accessibleInterface, "GetRole", nullptr, "(u)"));
  calls.push_back(call(bus, path, accessibleInterface, "GetState", nullptr, "(au)"));
  calls.push_back(call(bus, path, accessibleInterface, "GetInterfaces", nullptr, "(as)"));
  calls.push_back(call(bus, path, accessibleInterface, "GetChildren", nullptr, "(a(so))"));
}

std::vector<std::pair<std::string, std::string>> parseChildren(GVariant* reply) {
  std::vector<std::pair<std::string, std::string>> children;
  GVariantIter* iter = nullptr;
  g_variant_get(reply, "(a(so))", &iter);
  const gchar* busName = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(iter, "(&s&o)", &busName, &path)) {
    if (std::string_view(path) != atspiNullPath) {
      children.emplace_back(busName, path);
    }
  }
  g_variant_iter_free(iter);
  return children;
}

void readCoreReplies(Job& job, std::vector<AtspiCall>& calls) {
  AtspiCall* replies = &calls[job.firstCall];
  if (!replies[0].reply && !replies[1].reply && !replies[2].reply) {
    job.failed = true;
    return;
  }
  job.needsAttributes = !(replies[0].reply && parseAccessibleProperties(replies[0].reply.get(), job.facts));
  if (replies[1].reply) {
    guint32 role = 0;
    g_variant_get(replies[1].reply.get(), "(u)", &role);
    job.facts.role = role;
  }
  if (replies[2].reply) {
    job.facts.states = parseStates(replies[2].reply.get());
  }
  if (replies[3].reply) {
    job.facts.interfaces = parseInterfaces(replies[3].reply.get());
  }
  if (replies[4].reply) {
    job.facts.children = parseChildren(replies[4].reply.get());
  }
  job.facts.parts |= atspiCorePart;
}

// The calls the element's interfaces allow for the wanted groups.
void addDetailCalls(Job& job, std::uint32_t wanted, std::vector<AtspiCall>& calls) {
  const std::string& bus = job.target.busName;
  const std::string& path = job.element->path();
  const AtspiElementFacts& facts = job.facts;
  const std::uint32_t parts = wanted & ~facts.parts;
  job.firstCall = calls.size();
  if (job.needsAttributes) {
    calls.push_back(call(bus, path, accessibleInterface, "GetAttributes", nullptr, "(a{ss})"));
  }
  if ((parts & atspiExtentsPart) != 0 && facts.implements(atspiComponent)) {
    // Screen coordinates.
    calls.push_back(call(bus, path, "org.a11y.atspi.Component", "GetExtents", g_variant_new("(u)", 0U), "((iiii))"));
  }
  // The text of a concealed element is never asked for.
  if ((parts & atspiTextPart) != 0 && facts.implements(atspiText) && !AtspiVocabulary::isConcealed(facts)) {
    calls.push_back(call(bus, path, "org.a11y.atspi.Text", "GetText", g_variant_new("(ii)", 0, -1), "(s)"));
    // Only text the user can select or edit has a selection and a caret.
    if (facts.has(ATSPI_STATE_SELECTABLE_TEXT) || facts.has(ATSPI_STATE_EDITABLE)) {
      calls.push_back(call(bus, path, "org.a11y.atspi.Text", "GetSelection", g_variant_new("(i)", 0), "(ii)"));
      calls.push_back(call(bus, path, propertiesInterface, "Get",
                           g_variant_new("(ss)", "org.a11y.atspi.Text", "CaretOffset"), "(v)"));
    }
  }
  if ((parts & atspiValuePart) != 0 && facts.implements(atspiValue)) {
    calls.push_back(
        call(bus, path, propertiesInterface, "GetAll", g_variant_new("(s)", "org.a11y.atspi.Value"), "(a{sv})"));
  }
  if ((parts & atspiDocumentPart) != 0 && facts.implements(atspiDocument)) {
    calls.push_back(call(bus, path, "org.a11y.atspi.Document", "GetAttributes", nullptr, "(a{ss})"));
  }
}

void readDetailReplies(Job& job, std::uint32_t parts, std::vector<AtspiCall>& calls, std::size_t endCall) {
  AtspiElementFacts& facts = job.facts;
  for (std::size_t at = job.firstCall; at < endCall; ++at) {
    const AtspiCall& reply = calls[at];
    if (!reply.reply) {
      continue;
    }
    GVariant* answer = reply.reply.get();
    const std::string_view method(reply.method);
    const std::string_view interface(reply.interface);
    if (method == "GetAttributes" && interface == accessibleInterface) {
      GVariant* dictionary = g_variant_get_child_value(answer, 0);
      facts.attributes = stringDictionary(dictionary);
      g_variant_unref(dictionary);
    } else if (method == "GetExtents") {
      AtspiExtents extents;
      g_variant_get(answer, "((iiii))", &extents.x, &extents.y, &extents.width, &extents.height);
      facts.extents = extents;
    } else if (method == "GetText") {
      const gchar* text = nullptr;
      g_variant_get(answer, "(&s)", &text);
      facts.text = text;
    } else if (method == "GetSelection") {
      gint32 start = 0;
      gint32 end = 0;
      g_variant_get(answer, "(ii)", &start, &end);
      if (start != end) {
        facts.selection = std::pair(std::min(start, end), std::max(start, end));
      }
    } else if (method == "Get") {
      GVariant* value = nullptr;
      g_variant_get(answer, "(v)", &value);
      if (g_variant_is_of_type(value, G_VARIANT_TYPE_INT32)) {
        facts.caret = g_variant_get_int32(value);
      }
      g_variant_unref(value);
    } else if (method == "GetAll") {
      GVariant* properties = g_variant_get_child_value(answer, 0);
      facts.value = AtspiValueFacts{.current = doubleProperty(properties, "CurrentValue"),
                                    .minimum = doubleProperty(properties, "MinimumValue"),
                                    .maximum = doubleProperty(properties, "MaximumValue"),
                                    .increment = doubleProperty(properties, "MinimumIncrement")};
      g_variant_unref(properties);
    } else if (method == "GetAttributes") {
      GVariant* dictionary = g_variant_get_child_value(answer, 0);
      facts.documentAttributes = stringDictionary(dictionary);
      g_variant_unref(dictionary);
    }
  }
  // Groups the element does not offer, or whose calls failed, count as read.
  facts.parts |= parts;
}

}  // namespace

AtspiFactReader::AtspiFactReader(AtspiConnection& connection, AtspiApplications& applications, const Clock& clock)
    : connection_(connection), applications_(applications), clock_(clock) {}

std::optional<AtspiFactReader::Target> AtspiFactReader::target(const AtspiElementIdentity& element) {
  AtspiApplication& application = *element.application();
  if (application.hungAt(clock_.monotonicNow())) {
    return std::nullopt;
  }
  GDBusConnectionHandle bus = connection_.bus();
  if (!bus || !applications_.resolve(application, bus.get())) {
    return std::nullopt;
  }
  return Target{.bus = std::move(bus), .busName = application.busName(), .timeout = application.messagingTimeout()};
}

void AtspiFactReader::noteFailures(AtspiApplication& application, std::span<const AtspiCall> calls) {
  const bool timedOut = std::any_of(calls.begin(), calls.end(),
                                    [](const AtspiCall& call) { return call.failure == AtspiCallFailure::timedOut; });
  const bool gone = std::any_of(calls.begin(), calls.end(),
                                [](const AtspiCall& call) { return call.failure == AtspiCallFailure::gone; });
  if (timedOut) {
    application.markHung(clock_.monotonicNow() + hungHold);
  }
  if (gone) {
    applications_.forget(application);
  }
}

AccessibilityElement AtspiFactReader::elementFor(const AtspiElementIdentity& from,
                                                 const std::string& busName,
                                                 const std::string& path) {
  if (from.application()->busName() == busName) {
    return AtspiElementIdentity::element(from.application(), path);
  }
  return AtspiElementIdentity::element(applications_.forBusName(busName), path);
}

std::optional<AtspiElementFacts> AtspiFactReader::kept(const Key& key, double now) {
  const std::lock_guard guard(mutex_);
  const auto found = kept_.find(key);
  if (found == kept_.end()) {
    return std::nullopt;
  }
  const double age = now - found->second.fetchedAt;
  if (age < 0 || age >= factLifetime) {
    return std::nullopt;
  }
  return found->second.facts;
}

void AtspiFactReader::forgetApplication(const std::string& busName) {
  const std::lock_guard guard(mutex_);
  std::erase_if(kept_, [&](const auto& entry) { return entry.first.first == busName; });
}

void AtspiFactReader::keep(const Key& key, const AtspiElementFacts& facts, double now) {
  const std::lock_guard guard(mutex_);
  if (kept_.size() >= 256) {
    std::erase_if(kept_, [now](const auto& entry) {
      const double age = now - entry.second.fetchedAt;
      return age < 0 || age >= factLifetime;
    });
  }
  kept_[key] = Kept{facts, now};
}

std::vector<std::optional<AtspiElementFacts>> AtspiFactReader::readAll(std::span<const AccessibilityElement> elements,
                                                                       std::uint32_t parts) {
  parts |= atspiCorePart;
  std::vector<std::optional<AtspiElementFacts>> results(elements.size());
  const double now = clock_.monotonicNow();
  std::vector<Job> jobs;
  for (std::size_t index = 0; index < elements.size(); ++index) {
    const AtspiElementIdentity* element = AtspiElementIdentity::of(elements[index]);
    if (element == nullptr) {
      continue;
    }
    auto where = target(*element);
    if (!where) {
      continue;
    }
    auto facts = kept({where->busName, element->path()}, now);
    if (facts && (facts->parts & parts) == parts) {
      results[index] = std::move(facts);
      continue;
    }
    jobs.push_back(Job{.index = index, .element = element, .target = std::move(*where)});
    if (facts) {
      jobs.back().facts = std::move(*facts);
    }
  }
  if (jobs.empty()) {
    return results;
  }
  GDBusConnection* bus = jobs.front().target.bus.get();
  double timeout = jobs.front().target.timeout;
  for (const Job& job : jobs) {
    timeout = std::min(timeout, job.target.timeout);
  }

  std::vector<AtspiCall> calls;
  for (Job& job : jobs) {
    if ((job.facts.parts & atspiCorePart) == 0) {
      addCoreCalls(job, calls);
    }
  }
  AtspiConnection::runWave(bus, calls, timeout);
  for (Job& job : jobs) {
    if ((job.facts.parts & atspiCorePart) == 0) {
      readCoreReplies(job, calls);
      noteFailures(*job.element->application(), std::span(calls).subspan(job.firstCall, coreCallCount));
    }
  }

  calls.clear();
  std::vector<std::size_t> ends;
  for (Job& job : jobs) {
    if (!job.failed && !job.element->application()->hungAt(clock_.monotonicNow())) {
      addDetailCalls(job, parts, calls);
    } else {
      job.firstCall = calls.size();
    }
    ends.push_back(calls.size());
  }
  AtspiConnection::runWave(bus, calls, timeout);
  for (std::size_t at = 0; at < jobs.size(); ++at) {
    Job& job = jobs[at];
    if (job.failed) {
      continue;
    }
    noteFailures(*job.element->application(), std::span(calls).subspan(job.firstCall, ends[at] - job.firstCall));
    readDetailReplies(job, parts, calls, ends[at]);
    keep({job.target.busName, job.element->path()}, job.facts, now);
    results[job.index] = std::move(job.facts);
  }
  return results;
}

std::optional<AtspiElementFacts> AtspiFactReader::read(const AtspiElementIdentity& element, std::uint32_t parts) {
  const AccessibilityElement handle = AtspiElementIdentity::element(element.application(), element.path());
  return std::move(readAll(std::span(&handle, 1), parts).front());
}

std::optional<std::vector<AccessibilityElement>> AtspiFactReader::children(const AtspiElementIdentity& element) {
  auto facts = read(element, atspiCorePart);
  if (!facts || !facts->children) {
    return std::nullopt;
  }
  std::vector<AccessibilityElement> result;
  result.reserve(facts->children->size());
  for (const auto& [busName, path] : *facts->children) {
    result.push_back(elementFor(element, busName, path));
  }
  // Whoever reads the children reads them next: one fetch for all of them.
  readAll(result, atspiAllParts);
  return result;
}

std::optional<AccessibilityElement> AtspiFactReader::parent(const AtspiElementIdentity& element) {
  auto where = target(element);
  if (!where) {
    return std::nullopt;
  }
  const AtspiCall answer = AtspiConnection::runOne(where->bus.get(),
                                                   call(where->busName, element.path(), propertiesInterface, "Get",
                                                        g_variant_new("(ss)", accessibleInterface, "Parent"), "(v)"),
                                                   where->timeout);
  noteFailures(*element.application(), std::span(&answer, 1));
  if (!answer.reply) {
    return std::nullopt;
  }
  GVariant* value = nullptr;
  g_variant_get(answer.reply.get(), "(v)", &value);
  const GVariantHandle held(value);
  if (!g_variant_is_of_type(value, G_VARIANT_TYPE("(so)"))) {
    return std::nullopt;
  }
  const gchar* busName = nullptr;
  const gchar* path = nullptr;
  g_variant_get(value, "(&s&o)", &busName, &path);
  if (std::string_view(path) == atspiNullPath || *busName == '\0') {
    return std::nullopt;
  }
  return elementFor(element, busName, path);
}

}  // namespace Sablekit
