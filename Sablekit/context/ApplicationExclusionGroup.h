// Named groups of protected applications that the parent may switch on or off
// per request with their raw values.
#pragma once

#include "Sablekit/common/RawValue.h"

namespace Sablekit {

enum class ApplicationExclusionGroup {
  selfApp,
  loginScreen,
  passwordManagers,
  messagingNotifications,
  controlCenter,
  spotlight,
  siri,
};

template <>
struct RawValues<ApplicationExclusionGroup> {
  using E = ApplicationExclusionGroup;
  static constexpr std::array<std::pair<E, std::string_view>, 7> cases{{
      {E::selfApp, "self"},  // the parent sends "self"; the case name differs on purpose
      {E::loginScreen, "loginScreen"},
      {E::passwordManagers, "passwordManagers"},
      {E::messagingNotifications, "messagingNotifications"},
      {E::controlCenter, "controlCenter"},
      {E::spotlight, "spotlight"},
      {E::siri, "siri"},
  }};
};

}  // namespace Sablekit
