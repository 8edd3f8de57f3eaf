// One observer of an application's AT-SPI events: the notifications it was
// subscribed to, and, while attached to an event loop, its signal
// subscriptions on the accessibility bus, delivered on that loop's context.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gio/gio.h>

#include "Sablekit/platform/AccessibilityObservers.h"
#include "Sablekit/platform/atspi/AtspiApplication.h"
#include "Sablekit/platform/atspi/GlibHandles.h"

namespace Sablekit {

class AtspiObserver final : public AccessibilityObserver {
 public:
  // `sawEvent` runs, on the loop's thread, for every event of the
  // application before any notification is delivered for it.
  AtspiObserver(std::shared_ptr<AtspiApplication> application,
                std::string busName,
                AccessibilityNotificationCallback callback,
                std::function<void(const std::string& busName)> sawEvent)
      : application_(std::move(application)),
        busName_(std::move(busName)),
        callback_(callback),
        sawEvent_(std::move(sawEvent)) {}
  // Drops any subscription still held.
  ~AtspiObserver() override;

  const std::shared_ptr<AtspiApplication>& application() const { return application_; }

  // Delivers `notification` for events about `path` (the application root
  // standing for every element), with `context`.
  void subscribe(std::string notification, std::string path, void* context);

  // Subscribes to the application's signals on `bus`, delivered on `context`;
  // detach() undoes it. On the loop's thread.
  void attach(GDBusConnection* bus, GMainContext* context);
  void detach();

 private:
  struct Subscription {
    std::string notification;
    std::string path;
    void* context = nullptr;
  };

  static void deliver(GDBusConnection* connection,
                      const gchar* sender,
                      const gchar* path,
                      const gchar* interface,
                      const gchar* member,
                      GVariant* parameters,
                      gpointer self);
  void deliver(const gchar* path, const gchar* interface, const gchar* member, GVariant* parameters);

  const std::shared_ptr<AtspiApplication> application_;
  const std::string busName_;
  const AccessibilityNotificationCallback callback_;
  const std::function<void(const std::string&)> sawEvent_;

  std::mutex mutex_;  // guards subscriptions_
  std::vector<Subscription> subscriptions_;
  // Only on the loop's thread.
  GDBusConnectionHandle bus_;
  std::vector<guint> signalSubscriptions_;
};

}  // namespace Sablekit
