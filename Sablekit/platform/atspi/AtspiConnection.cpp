// Finding the accessibility bus and calling on it in pipelined waves.
#include "Sablekit/platform/atspi/AtspiConnection.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace Sablekit {

namespace {

constexpr const char* busLauncherName = "org.a11y.Bus";
constexpr const char* busLauncherPath = "/org/a11y/bus";

int milliseconds(double seconds) {
  const double rounded = std::ceil(seconds * 1000.0);
  if (!(rounded >= 1.0)) {
    return 1;
  }
  return rounded > 3'600'000.0 ? 3'600'000 : static_cast<int>(rounded);
}

AtspiCallFailure classify(const GError* error) {
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
    return AtspiCallFailure::timedOut;
  }
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED)) {
    return AtspiCallFailure::gone;
  }
  if (g_dbus_error_is_remote_error(error)) {
    gchar* remote = g_dbus_error_get_remote_error(error);
    const std::string name = remote == nullptr ? "" : remote;
    g_free(remote);
    if (name == "org.freedesktop.DBus.Error.NoReply" || name == "org.freedesktop.DBus.Error.Timeout" ||
        name == "org.freedesktop.DBus.Error.TimedOut") {
      return AtspiCallFailure::timedOut;
    }
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" || name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
        name == "org.freedesktop.DBus.Error.Disconnected") {
      return AtspiCallFailure::gone;
    }
  }
  return AtspiCallFailure::refused;
}

// A wave in flight: calls go out as earlier ones are answered, at most
// `maximumInFlight` at a time, so that a call's timeout never runs while it
// only waits in the application's queue behind the rest of the wave.
constexpr std::size_t maximumInFlight = 32;

struct Wave;

struct Slot {
  Wave* wave = nullptr;
  AtspiCall* call = nullptr;
};

struct Wave {
  GDBusConnection* connection = nullptr;
  std::vector<Slot> slots;
  int timeout = 0;
  std::size_t next = 0;
  std::size_t pending = 0;
};

void finishCall(GObject* source, GAsyncResult* result, gpointer data);

// Sends calls until the window is full or none is left.
void sendMore(Wave& wave) {
  while (wave.next < wave.slots.size() && wave.pending < maximumInFlight) {
    Slot& slot = wave.slots[wave.next++];
    AtspiCall& call = *slot.call;
    ++wave.pending;
    // Parameters are consumed by the call (a floating reference is sunk).
    GVariant* parameters = std::exchange(call.parameters, nullptr);
    g_dbus_connection_call(wave.connection, call.busName.empty() ? nullptr : call.busName.c_str(),
                           call.objectPath.c_str(), call.interface, call.method, parameters,
                           call.replyType == nullptr ? nullptr : G_VARIANT_TYPE(call.replyType),
                           call.autoStart ? G_DBUS_CALL_FLAGS_NONE : G_DBUS_CALL_FLAGS_NO_AUTO_START, wave.timeout,
                           nullptr, finishCall, &slot);
  }
}

void finishCall(GObject* source, GAsyncResult* result, gpointer data) {
  auto* slot = static_cast<Slot*>(data);
  GError* error = nullptr;
  GVariant* answer = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (answer != nullptr) {
    slot->call->reply.reset(answer);
    slot->call->failure = AtspiCallFailure::none;
  } else {
    slot->call->failure = classify(error);
  }
  if (error != nullptr) {
    g_error_free(error);
  }
  --slot->wave->pending;
  sendMore(*slot->wave);
}

std::atomic<std::uint64_t> sentCalls{0};
std::atomic<std::uint64_t> sentWaves{0};

// One context per thread for waiting on waves, made on first use.
GMainContext* waveContext() {
  thread_local GMainContextHandle context(g_main_context_new());
  return context.get();
}

}  // namespace

AtspiConnection::AtspiConnection(const Clock& clock, std::string sessionBusAddress)
    : clock_(clock), sessionBusAddress_(std::move(sessionBusAddress)) {}

AtspiConnection::~AtspiConnection() = default;

namespace {

GDBusConnectionHandle openMessageBus(const char* address) {
  GError* error = nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (error != nullptr) {
    g_error_free(error);
  }
  if (connection != nullptr) {
    g_dbus_connection_set_exit_on_close(connection, FALSE);
  }
  return GDBusConnectionHandle(connection);
}

bool healthy(const GDBusConnectionHandle& connection) {
  return connection && !g_dbus_connection_is_closed(connection.get());
}

}  // namespace

GDBusConnectionHandle AtspiConnection::session() {
  {
    const std::lock_guard guard(mutex_);
    if (healthy(session_)) {
      return referenced(session_.get());
    }
  }
  if (sessionBusAddress_.empty()) {
    return nullptr;
  }
  // Connected outside the lock; if another thread was quicker, its connection stays.
  GDBusConnectionHandle connection = openMessageBus(sessionBusAddress_.c_str());
  const std::lock_guard guard(mutex_);
  if (!healthy(session_)) {
    session_ = std::move(connection);
  }
  return referenced(session_.get());
}

GDBusConnectionHandle AtspiConnection::openBus() {
  GDBusConnectionHandle sessionBus = session();
  if (!sessionBus) {
    return nullptr;
  }
  // Asking org.a11y.Bus for the address starts the launcher (and with it
  // the accessibility bus) by D-Bus activation.
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(sessionBus.get(), busLauncherName, busLauncherPath, "org.a11y.Bus",
                                                "GetAddress", nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
                                                milliseconds(connectTimeout), nullptr, &error);
  if (error != nullptr) {
    g_error_free(error);
  }
  if (reply == nullptr) {
    return nullptr;
  }
  const GVariantHandle held(reply);
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  if (address == nullptr || *address == '\0') {
    return nullptr;
  }
  return openMessageBus(address);
}

GDBusConnectionHandle AtspiConnection::bus() {
  const double now = clock_.monotonicNow();
  {
    const std::lock_guard guard(mutex_);
    if (healthy(bus_)) {
      return referenced(bus_.get());
    }
    if (lastFailureAt_ && now - *lastFailureAt_ < reconnectInterval && now >= *lastFailureAt_) {
      return nullptr;
    }
  }
  GDBusConnectionHandle connection = openBus();
  const std::lock_guard guard(mutex_);
  if (healthy(bus_)) {
    return referenced(bus_.get());
  }
  if (!connection) {
    lastFailureAt_ = now;
    return nullptr;
  }
  lastFailureAt_.reset();
  bus_ = std::move(connection);
  return referenced(bus_.get());
}

void AtspiConnection::runWave(GDBusConnection* connection, std::span<AtspiCall> calls, double timeoutSeconds) {
  if (calls.empty()) {
    return;
  }
  if (connection == nullptr) {
    for (AtspiCall& call : calls) {
      if (call.parameters != nullptr) {
        g_variant_unref(g_variant_ref_sink(call.parameters));
        call.parameters = nullptr;
      }
      call.failure = AtspiCallFailure::gone;
    }
    return;
  }
  sentCalls += calls.size();
  ++sentWaves;
  GMainContext* context = waveContext();
  g_main_context_push_thread_default(context);
  Wave wave{.connection = connection, .timeout = milliseconds(timeoutSeconds)};
  wave.slots.reserve(calls.size());
  for (AtspiCall& call : calls) {
    wave.slots.push_back({&wave, &call});
  }
  sendMore(wave);
  // GDBus answers every call, with a timeout error at the latest.
  while (wave.pending > 0) {
    g_main_context_iteration(context, TRUE);
  }
  g_main_context_pop_thread_default(context);
}

AtspiTraffic AtspiConnection::traffic() {
  return {.calls = sentCalls.load(), .waves = sentWaves.load()};
}

AtspiCall AtspiConnection::runOne(GDBusConnection* connection, AtspiCall call, double timeoutSeconds) {
  runWave(connection, std::span<AtspiCall>(&call, 1), timeoutSeconds);
  return call;
}

}  // namespace Sablekit
