// The connection to the accessibility bus, found through the session bus's
// org.a11y.Bus (which starts the bus launcher on demand), and the one way the
// backend talks on it: waves of calls sent together and awaited together,
// each with the caller's timeout.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "Sablekit/platform/Clock.h"
#include "Sablekit/platform/atspi/GlibHandles.h"

namespace Sablekit {

// Why one call gave no answer.
enum class AtspiCallFailure {
  none,
  timedOut,  // no answer within the timeout: the application may be hung
  gone,      // the bus name has no owner (the application quit) or the connection closed
  refused,   // an error answer: no such object, method or property
};

struct AtspiCall {
  std::string busName;
  std::string objectPath;
  const char* interface = nullptr;
  const char* method = nullptr;
  GVariant* parameters = nullptr;   // floating references are sunk; null for none
  const char* replyType = nullptr;  // the reply's signature, e.g. "(s)"; null accepts any
  bool autoStart = false;           // let the bus start the service (only the registry and the launcher)
  GVariantHandle reply;             // set when answered
  AtspiCallFailure failure = AtspiCallFailure::none;
};

// What the backend has sent, for benchmarks: calls, and the waves they went
// out in (each wave costs one round trip of waiting).
struct AtspiTraffic {
  std::uint64_t calls = 0;
  std::uint64_t waves = 0;
};

class AtspiConnection {
 public:
  // How long finding or opening the bus may take.
  static constexpr double connectTimeout = 2.0;
  // After the bus was unreachable, the next attempt waits this long (monotonic seconds).
  static constexpr double reconnectInterval = 1.0;

  // `sessionBusAddress` is the D-Bus session bus's address (empty when the
  // session has none: the bus is then never reachable). Never connects here.
  AtspiConnection(const Clock& clock, std::string sessionBusAddress);
  ~AtspiConnection();
  AtspiConnection(const AtspiConnection&) = delete;
  AtspiConnection& operator=(const AtspiConnection&) = delete;

  // The accessibility bus, connected on first use and again after it
  // closed; null while it cannot be reached. Any thread.
  GDBusConnectionHandle bus();

  // The session bus, for org.a11y.Bus itself; null when unreachable. Any thread.
  GDBusConnectionHandle session();

  // Sends every call at once, then waits on a private main context of the
  // calling thread until each is answered or has waited `timeoutSeconds`.
  // Any thread, also one running a GLib main loop.
  static void runWave(GDBusConnection* connection, std::span<AtspiCall> calls, double timeoutSeconds);
  // One call, the same way.
  static AtspiCall runOne(GDBusConnection* connection, AtspiCall call, double timeoutSeconds);

  // Everything sent by every connection of this process so far.
  static AtspiTraffic traffic();

 private:
  // Asks the launcher for the bus's address and connects; no lock held.
  GDBusConnectionHandle openBus();

  const Clock& clock_;
  const std::string sessionBusAddress_;
  std::mutex mutex_;  // guards everything below
  GDBusConnectionHandle session_;
  GDBusConnectionHandle bus_;
  std::optional<double> lastFailureAt_;
};

}  // namespace Sablekit
