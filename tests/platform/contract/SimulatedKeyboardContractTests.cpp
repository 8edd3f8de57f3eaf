// The keyboard contract on the simulated keyboard, whose changes reach the
// listener at once, on the calling thread.
#include "Sablekit/platform/simulated/SimulatedKeyboard.h"
#include "tests/platform/contract/KeyboardContract.h"

namespace Sablekit::Testing {
namespace {

class SimulatedKeyboardArranger final : public KeyboardArranger {
 public:
  static std::string unavailableReason() { return {}; }
  static std::unique_ptr<KeyboardArranger> arrange() { return std::make_unique<SimulatedKeyboardArranger>(); }

  Keyboard& keyboard() override { return keyboard_; }
  void press(std::uint16_t keyCode) override { keyboard_.press(keyCode); }
  void release(std::uint16_t keyCode) override { keyboard_.release(keyCode); }
  bool deliverUntil(const std::function<bool()>& done) override { return done(); }
  void settle() override {}

 private:
  SimulatedKeyboard keyboard_;
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, KeyboardContract, SimulatedKeyboardArranger);

}  // namespace Sablekit::Testing
