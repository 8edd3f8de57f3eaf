// The built-in demo desktop: what the hosts run on when no scenario is given.
// Later features extend it with their own sections, so that the demo always
// shows every feature working.
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

// One laptop display with an editor in front of a Firefox window; Firefox's
// accessibility tree has an address bar, so its page is read whenever it is
// the focused window.
std::string_view SimulatedDesktop::demoScenario() {
  static constexpr std::string_view scenario = R"json({
  "description": "Built-in demo desktop",
  "clock": {"startMilliseconds": 1767225600000},
  "permissions": {"screenRecording": true, "accessibilityTrusted": true},
  "displays": [
    {"displayID": 1, "frame": {"x": 0, "y": 0, "width": 1512, "height": 982}, "pixelsPerPoint": 2}
  ],
  "windows": [
    {"windowNumber": 301, "ownerPID": 501, "bounds": {"x": 120, "y": 90, "width": 900, "height": 640},
     "title": "notes.txt"},
    {"windowNumber": 402, "ownerPID": 612, "bounds": {"x": 40, "y": 40, "width": 1400, "height": 900},
     "title": "Today's news — Mozilla Firefox"},
    {"windowNumber": 12, "ownerPID": 400, "layer": -2147483603,
     "bounds": {"x": 0, "y": 0, "width": 1512, "height": 982}}
  ],
  "applications": [
    {"processID": 400, "bundleID": "com.apple.finder", "localizedName": "Finder",
     "shortVersionString": "14.0", "bundleVersion": "1400"},
    {"processID": 501, "bundleID": "com.example.Editor", "localizedName": "Editor",
     "shortVersionString": "3.2", "bundleVersion": "3200"},
    {"processID": 612, "bundleID": "org.mozilla.firefox", "localizedName": "Firefox",
     "shortVersionString": "128.0", "bundleVersion": "12800"}
  ],
  "frontmostProcessID": 501,
  "pointer": {"x": 400, "y": 600},
  "accessibility": {
    "applications": [
      {"processID": 612, "id": "firefox",
       "attributes": {"AXRole": "AXApplication", "AXFocusedWindow": {"element": "firefox.window"}},
       "children": [
         {"id": "firefox.window", "attributes": {"AXRole": "AXWindow", "AXTitle": "Today's news — Mozilla Firefox"},
          "children": [
            {"attributes": {"AXRole": "AXToolbar"},
             "children": [
               {"attributes": {"AXRole": "AXTextField", "AXValue": "https://news.example.org/today"}}
             ]},
            {"attributes": {"AXRole": "AXWebArea", "AXTitle": "Today's news"}}
          ]}
       ]}
    ]
  }
})json";
  return scenario;
}

}  // namespace Sablekit
