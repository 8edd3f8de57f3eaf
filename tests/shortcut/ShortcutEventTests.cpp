#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/shortcut/ShortcutEvent.h"
#include "tests/support/MemoryStreams.h"

namespace Sablekit {
namespace {

struct EventLine {
  std::string name;
  ShortcutEvent event;
  std::string json;
};

TEST(ShortcutEvent, IsWrittenAsTheObjectThenASeparateLineFeed) {
  const std::vector<EventLine> lines = {
      {"health, all well", ShortcutEvent::health(true, true),
       R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":true})"},
      {"health, nothing installed", ShortcutEvent::health(true, false),
       R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false})"},
      {"health, untrusted", ShortcutEvent::health(false, true),
       R"({"accessibilityTrusted":false,"event":"health","monitorInstalled":true})"},
      {"another owner", ShortcutEvent::ownerUnavailable(true),
       R"({"accessibilityTrusted":true,"event":"health","monitorInstalled":false,"reason":"ownerUnavailable"})"},
      {"another owner, untrusted", ShortcutEvent::ownerUnavailable(false),
       R"({"accessibilityTrusted":false,"event":"health","monitorInstalled":false,"reason":"ownerUnavailable"})"},
      {"primary", ShortcutEvent::triggered(ShortcutAction::primary), R"({"event":"primary"})"},
      {"search", ShortcutEvent::triggered(ShortcutAction::search), R"({"event":"search"})"},
  };

  for (const EventLine& line : lines) {
    SCOPED_TRACE(line.name);
    Testing::RecordingByteSink sink;
    writeLine(sink, line.event);
    EXPECT_EQ(sink.writes, (std::vector<std::string>{line.json, "\n"}));
  }
}

TEST(ShortcutAction, IsBuiltFromItsExactName) {
  EXPECT_EQ(fromRawValue<ShortcutAction>("primary"), ShortcutAction::primary);
  EXPECT_EQ(fromRawValue<ShortcutAction>("search"), ShortcutAction::search);
  EXPECT_EQ(fromRawValue<ShortcutAction>("Primary"), std::nullopt);
  EXPECT_EQ(fromRawValue<ShortcutAction>("search "), std::nullopt);
}

}  // namespace
}  // namespace Sablekit
