// Runs the system's fixed scripts against other applications (Apple events)
// and reports the outcome as data, so that callers decide what a refusal or a
// vanished application means for them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace Sablekit {

// Error numbers the platform reports for a failed script, as the callers
// distinguish them.
namespace ScriptErrorNumber {
inline constexpr std::int32_t notAuthorized = -1743;        // not allowed to send Apple events to the application
inline constexpr std::int32_t privilegeViolation = -10004;  // the application refused a privileged request
inline constexpr std::int32_t applicationNotRunning = -600;
inline constexpr std::int32_t connectionInvalid = -609;  // the application went away while being asked
inline constexpr std::int32_t timedOut = -1712;          // the script's own "with timeout" ran out
}  // namespace ScriptErrorNumber

// What became of one script.
struct ScriptRunOutcome {
  enum class Kind {
    succeeded,   // the script ran to its end and returned a result
    notCreated,  // the script object could not be made from the source (it never ran)
    failed,      // the script ran and failed
  };

  Kind kind = Kind::failed;
  // succeeded: the string value of the result; absent when the result has no
  // string value (callers that need a text treat that as empty).
  std::optional<std::string> result;
  // failed: the platform's error number; absent when the platform gave none.
  std::optional<std::int32_t> errorNumber;
  // failed or notCreated: the platform's explanation, for people; may be empty.
  std::string errorMessage;

  static ScriptRunOutcome success(std::optional<std::string> result) {
    return {.kind = Kind::succeeded, .result = std::move(result), .errorNumber = std::nullopt, .errorMessage = {}};
  }
  static ScriptRunOutcome failure(std::optional<std::int32_t> errorNumber, std::string message = {}) {
    return {
        .kind = Kind::failed, .result = std::nullopt, .errorNumber = errorNumber, .errorMessage = std::move(message)};
  }
  static ScriptRunOutcome creationFailure(std::string message = {}) {
    return {.kind = Kind::notCreated,
            .result = std::nullopt,
            .errorNumber = std::nullopt,
            .errorMessage = std::move(message)};
  }

  bool operator==(const ScriptRunOutcome&) const = default;
};

class ScriptRunner {
 public:
  virtual ~ScriptRunner() = default;

  // Makes a script from `source` and runs it synchronously on the calling
  // thread, returning only when it has ended. Safe from any thread, including
  // worker threads, and from several threads at once; callers that must not
  // hold the main thread call it from a worker.
  //
  // The runner imposes no time limit of its own: a script is bounded by its
  // own "with timeout of N seconds" block, and when that runs out the outcome
  // is `failed` with ScriptErrorNumber::timedOut. A caller that cannot wait
  // that long races the call against a timer on another thread; the call
  // still ends when the script does.
  virtual ScriptRunOutcome run(std::string_view source) = 0;
};

}  // namespace Sablekit
