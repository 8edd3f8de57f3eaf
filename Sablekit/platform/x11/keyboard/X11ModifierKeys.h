// The modifier keys of an X keyboard as the shortcut host sees them: which X
// key codes are which modifier (found through the keyboard's keysyms, so any
// layout works), which of them are held, and the modifier flags that follow.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

namespace Sablekit {

class X11ModifierKeys {
 public:
  // The keysyms of the modifier keys this keyboard reports.
  static constexpr std::uint32_t shiftL = 0xffe1;
  static constexpr std::uint32_t shiftR = 0xffe2;
  static constexpr std::uint32_t controlL = 0xffe3;
  static constexpr std::uint32_t controlR = 0xffe4;
  static constexpr std::uint32_t altL = 0xffe9;
  static constexpr std::uint32_t altR = 0xffea;
  static constexpr std::uint32_t superL = 0xffeb;
  static constexpr std::uint32_t superR = 0xffec;

  // The platform key code (KeyCode:: in Keyboard.h) of a keysym; absent for
  // every keysym but the eight modifiers above.
  static std::optional<std::uint16_t> keyCodeForKeysym(std::uint32_t keysym);

  // Learns the keyboard's mapping: `keysyms[i]` is the unshifted keysym of
  // X key code `firstKeycode + i` (0 for none). Keys held stay held.
  void setMapping(std::uint8_t firstKeycode, const std::vector<std::uint32_t>& keysyms);

  // The platform key code of an X key code; absent when it is not one of the
  // eight modifiers.
  std::optional<std::uint16_t> keyCodeOf(std::uint8_t keycode) const;
  // The X key codes that carry the given platform key code (a keysym may sit
  // on several keys), ascending.
  std::vector<std::uint8_t> keycodesOf(std::uint16_t keyCode) const;

  // Replaces the held set with the modifiers among `pressed` (bit i: X key
  // code i is down), as the server's key map reports it.
  void seed(const std::bitset<256>& pressed);
  // A key went down or up; answers whether that changed the held set (a
  // repeated press or an unseen release does not). Non-modifiers are ignored.
  bool press(std::uint8_t keycode);
  bool release(std::uint8_t keycode);

  // The modifier flags (ModifierFlag:: in Keyboard.h) of the keys held now.
  std::uint64_t flags() const;

 private:
  std::optional<std::uint16_t> mapped_[256];
  std::bitset<256> held_;
};

}  // namespace Sablekit
