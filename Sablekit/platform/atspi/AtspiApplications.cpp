// Finding applications on the accessibility bus by their process.
#include "Sablekit/platform/atspi/AtspiApplications.h"

#include <vector>

#include "Sablekit/platform/atspi/AtspiElementIdentity.h"

namespace Sablekit {

std::shared_ptr<AtspiApplication> AtspiApplications::forProcess(std::int32_t processID) {
  const std::lock_guard guard(mutex_);
  auto& record = byProcess_[processID];
  if (!record) {
    record = std::make_shared<AtspiApplication>(processID, std::string(), defaultMessagingTimeout);
  }
  return record;
}

std::shared_ptr<AtspiApplication> AtspiApplications::forBusName(const std::string& busName) {
  const std::lock_guard guard(mutex_);
  auto& entry = byBusName_[busName];
  if (auto existing = entry.lock()) {
    return existing;
  }
  std::optional<std::int32_t> processID;
  if (const auto known = knownProcesses_.find(busName); known != knownProcesses_.end()) {
    processID = known->second;
  }
  auto record = std::make_shared<AtspiApplication>(processID, busName, defaultMessagingTimeout);
  entry = record;
  return record;
}

std::map<std::string, std::int32_t> AtspiApplications::registeredProcesses(GDBusConnection* bus) {
  AtspiCall listing = AtspiConnection::runOne(bus,
                                              AtspiCall{.busName = "org.a11y.atspi.Registry",
                                                        .objectPath = atspiRootPath,
                                                        .interface = "org.a11y.atspi.Accessible",
                                                        .method = "GetChildren",
                                                        .replyType = "(a(so))",
                                                        .autoStart = true},
                                              lookUpTimeout);
  std::map<std::string, std::int32_t> processes;
  if (!listing.reply) {
    return processes;
  }
  std::vector<std::string> unknown;
  {
    GVariantIter* children = nullptr;
    g_variant_get(listing.reply.get(), "(a(so))", &children);
    const gchar* name = nullptr;
    const gchar* path = nullptr;
    const std::lock_guard guard(mutex_);
    while (g_variant_iter_next(children, "(&s&o)", &name, &path)) {
      if (const auto known = knownProcesses_.find(name); known != knownProcesses_.end()) {
        processes.emplace(name, known->second);
      } else {
        unknown.emplace_back(name);
      }
    }
    g_variant_iter_free(children);
  }
  std::vector<AtspiCall> calls;
  for (const std::string& name : unknown) {
    calls.push_back(AtspiCall{.busName = "org.freedesktop.DBus",
                              .objectPath = "/org/freedesktop/DBus",
                              .interface = "org.freedesktop.DBus",
                              .method = "GetConnectionUnixProcessID",
                              .parameters = g_variant_new("(s)", name.c_str()),
                              .replyType = "(u)"});
  }
  AtspiConnection::runWave(bus, calls, lookUpTimeout);
  const std::lock_guard guard(mutex_);
  for (std::size_t index = 0; index < calls.size(); ++index) {
    if (calls[index].reply) {
      guint32 processID = 0;
      g_variant_get(calls[index].reply.get(), "(u)", &processID);
      processes.emplace(unknown[index], static_cast<std::int32_t>(processID));
    }
  }
  // Only names still registered are remembered.
  knownProcesses_ = processes;
  std::erase_if(byBusName_, [](const auto& entry) { return entry.second.expired(); });
  return processes;
}

bool AtspiApplications::resolve(AtspiApplication& application, GDBusConnection* bus) {
  if (!application.busName().empty()) {
    return true;
  }
  const auto wanted = application.processID();
  if (!wanted || bus == nullptr) {
    return false;
  }
  for (const auto& [busName, processID] : registeredProcesses(bus)) {
    if (processID != *wanted) {
      continue;
    }
    application.resolved(busName, processID);
    const std::lock_guard guard(mutex_);
    // The record of the process, if it is this one, now also answers for the name.
    if (const auto found = byProcess_.find(processID);
        found != byProcess_.end() && found->second.get() == &application) {
      byBusName_[busName] = found->second;
    }
    return true;
  }
  return false;
}

void AtspiApplications::forget(const AtspiApplication& application) {
  const std::string busName = application.busName();
  const auto processID = application.processID();
  const std::lock_guard guard(mutex_);
  if (processID) {
    if (const auto found = byProcess_.find(*processID);
        found != byProcess_.end() && found->second.get() == &application) {
      byProcess_.erase(found);
    }
  }
  if (!busName.empty()) {
    byBusName_.erase(busName);
    knownProcesses_.erase(busName);
  }
}

}  // namespace Sablekit
