// The built-in demo desktop: what the hosts run on when no scenario is given.
// Later features extend it with their own sections, so that the demo always
// shows every feature working.
#include "Sablekit/platform/simulated/SimulatedDesktop.h"

namespace Sablekit {

// One laptop display at two pixels per point. Front to back: an editor
// (focused) showing code, in front of a Firefox window whose address bar
// gives its page; the parent's assistant panel; a Slack channel and a
// 1Password vault (both protected applications); a Firefox private window; a
// Finder window; the parent's main window; and the Finder desktop. Every
// window shows its own words, so a screenshot shows what was cut out.
// Firefox's accessibility tree has an address bar, so its page is read
// whenever it is the focused window. The real process keeps its own
// identifier; its parent is process 300.
std::string_view SimulatedDesktop::demoScenario() {
  static constexpr std::string_view scenario = R"json({
  "description": "Built-in demo desktop",
  "clock": {"startMilliseconds": 1767225600000},
  "process": {"parentProcessID": 300},
  "permissions": {"screenRecording": true, "accessibilityTrusted": true},
  "textRecognition": {"engine": "tesseract"},
  "displays": [
    {"displayID": 1, "frame": {"x": 0, "y": 0, "width": 1512, "height": 982}, "pixelsPerPoint": 2}
  ],
  "windows": [
    {"windowNumber": 301, "ownerPID": 501, "bounds": {"x": 300, "y": 210, "width": 760, "height": 520},
     "title": "notes.txt",
     "content": {"fill": "#fbfaf6", "textSize": 22, "text": [
       "notes.txt",
       "fn capture(display: Display) -> Frame {",
       "    let windows = inventory.visible(display);",
       "    let allowed = policy.filter(windows);",
       "    return compositor.render(allowed);",
       "}",
       "",
       "TODO: measure the pipeline against memcpy"]}},
    {"windowNumber": 402, "ownerPID": 612, "bounds": {"x": 30, "y": 30, "width": 1080, "height": 720},
     "title": "Today's news — Mozilla Firefox",
     "content": {"fill": "#ffffff", "textSize": 22, "text": [
       "https://news.example.org/today",
       "Today's news",
       "Harbour bridge reopens after repairs",
       "Lantern festival draws record crowds",
       "Weather: light rain turning to sunshine"]}},
    {"windowNumber": 902, "ownerPID": 300, "bounds": {"x": 1140, "y": 30, "width": 350, "height": 200},
     "title": "Orvane Assistant",
     "content": {"fill": "#fff8e6", "textSize": 22, "text": ["Orvane Assistant", "Watching notes.txt", "Press both Command keys"]}},
    {"windowNumber": 702, "ownerPID": 640, "bounds": {"x": 1140, "y": 250, "width": 350, "height": 280},
     "title": "design (Channel) - Acme - Slack",
     "content": {"fill": "#f4ede4", "textSize": 22, "text": ["# design", "Maya: mockups are ready", "Tomas: ship on Friday", "Priya: lunch order?"]}},
    {"windowNumber": 651, "ownerPID": 630, "bounds": {"x": 1140, "y": 550, "width": 350, "height": 260},
     "title": "1Password — Personal",
     "content": {"fill": "#e8f0fb", "textSize": 22, "text": ["1Password", "Personal vault", "Harbour Bank login", "Password: amber-otter-42"]}},
    {"windowNumber": 403, "ownerPID": 612, "bounds": {"x": 620, "y": 770, "width": 500, "height": 200},
     "title": "Clinic appointments — Mozilla Firefox Private Browsing",
     "content": {"fill": "#f1e9fb", "textSize": 22, "text": ["Private Browsing", "https://clinic.example.net/booking",
                                             "Appointment confirmed", "Dermatology, Tuesday 09:40"]}},
    {"windowNumber": 801, "ownerPID": 400, "bounds": {"x": 20, "y": 770, "width": 580, "height": 200},
     "title": "Documents",
     "content": {"fill": "#f6f6f6", "textSize": 22, "text": ["Documents", "Quarterly report.pdf", "Holiday photos",
                                             "Garden plan.numbers"]}},
    {"windowNumber": 901, "ownerPID": 300, "bounds": {"x": 1140, "y": 830, "width": 350, "height": 140},
     "title": "Orvane",
     "content": {"fill": "#fffdf2", "textSize": 22, "text": ["Orvane", "Today: 3 captures, 2 cut out"]}},
    {"windowNumber": 12, "ownerPID": 400, "layer": -2147483603,
     "bounds": {"x": 0, "y": 0, "width": 1512, "height": 982},
     "content": {"fill": "#2f5d8a", "textSize": 22, "text": ["Macintosh HD"]}}
  ],
  "applications": [
    {"processID": 300, "bundleID": "app.orvane.Orvane", "localizedName": "Orvane",
     "shortVersionString": "1.4", "bundleVersion": "140"},
    {"processID": 400, "bundleID": "com.apple.finder", "localizedName": "Finder",
     "shortVersionString": "14.0", "bundleVersion": "1400"},
    {"processID": 501, "bundleID": "com.example.Editor", "localizedName": "Editor",
     "shortVersionString": "3.2", "bundleVersion": "3200"},
    {"processID": 612, "bundleID": "org.mozilla.firefox", "localizedName": "Firefox",
     "shortVersionString": "128.0", "bundleVersion": "12800"},
    {"processID": 630, "bundleID": "com.1password.1password", "localizedName": "1Password",
     "shortVersionString": "8.10", "bundleVersion": "81000"},
    {"processID": 640, "bundleID": "com.tinyspeck.slackmacgap", "localizedName": "Slack",
     "shortVersionString": "4.41", "bundleVersion": "441"}
  ],
  "frontmostProcessID": 501,
  "pointer": {"x": 400, "y": 382},
  "accessibility": {
    "applications": [
      {"processID": 612, "id": "firefox",
       "attributes": {"AXRole": "AXApplication", "AXFocusedWindow": {"element": "firefox.window"}},
       "children": [
         {"id": "firefox.window", "attributes": {"AXRole": "AXWindow", "AXTitle": "Today's news — Mozilla Firefox",
                                                 "AXPosition": {"point": [30, 30]}, "AXSize": {"size": [1080, 720]}},
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
