// Turning an application's AT-SPI signals into notifications.
#include "Sablekit/platform/atspi/AtspiObserver.h"

#include <string_view>

#include "Sablekit/platform/atspi/AtspiElementIdentity.h"
#include "Sablekit/platform/atspi/AtspiVocabulary.h"

namespace Sablekit {

AtspiObserver::~AtspiObserver() {
  detach();
}

void AtspiObserver::subscribe(std::string notification, std::string path, void* context) {
  const std::lock_guard guard(mutex_);
  for (Subscription& existing : subscriptions_) {
    if (existing.notification == notification && existing.path == path) {
      existing.context = context;
      return;
    }
  }
  subscriptions_.push_back({std::move(notification), std::move(path), context});
}

void AtspiObserver::attach(GDBusConnection* bus, GMainContext* context) {
  if (bus_ || bus == nullptr) {
    return;
  }
  bus_ = referenced(bus);
  // GDBus delivers a subscription's signals on the context that is the
  // thread's default when it is made.
  g_main_context_push_thread_default(context);
  for (const char* interface : {"org.a11y.atspi.Event.Object", "org.a11y.atspi.Event.Window"}) {
    signalSubscriptions_.push_back(g_dbus_connection_signal_subscribe(bus, busName_.c_str(), interface, nullptr,
                                                                      nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                                      &AtspiObserver::deliver, this, nullptr));
  }
  g_main_context_pop_thread_default(context);
}

void AtspiObserver::detach() {
  // Unsubscribing on the delivering thread means no delivery of these
  // subscriptions runs afterwards.
  for (const guint id : signalSubscriptions_) {
    g_dbus_connection_signal_unsubscribe(bus_.get(), id);
  }
  signalSubscriptions_.clear();
  bus_.reset();
}

void AtspiObserver::deliver(GDBusConnection*,
                            const gchar*,
                            const gchar* path,
                            const gchar* interface,
                            const gchar* member,
                            GVariant* parameters,
                            gpointer self) {
  static_cast<AtspiObserver*>(self)->deliver(path, interface, member, parameters);
}

void AtspiObserver::deliver(const gchar* path, const gchar* interface, const gchar* member, GVariant* parameters) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(siiva{sv})"))) {
    return;
  }
  const gchar* detail = nullptr;
  gint32 detail1 = 0;
  gint32 detail2 = 0;
  GVariant* data = nullptr;
  GVariant* properties = nullptr;
  g_variant_get(parameters, "(&siiv@a{sv})", &detail, &detail1, &detail2, &data, &properties);
  g_variant_unref(data);
  g_variant_unref(properties);
  if (sawEvent_) {
    sawEvent_(busName_);
  }
  const auto notifications = AtspiVocabulary::notificationsFor(interface, member, detail, detail1);
  if (notifications.empty()) {
    return;
  }
  std::vector<Subscription> matching;
  {
    const std::lock_guard guard(mutex_);
    for (const std::string_view notification : notifications) {
      for (const Subscription& subscription : subscriptions_) {
        if (subscription.notification == notification &&
            (subscription.path == atspiRootPath || subscription.path == path)) {
          matching.push_back(subscription);
        }
      }
    }
  }
  const AccessibilityElement element = AtspiElementIdentity::element(application_, path);
  for (const Subscription& subscription : matching) {
    callback_(*this, element, subscription.notification, subscription.context);
  }
}

}  // namespace Sablekit
