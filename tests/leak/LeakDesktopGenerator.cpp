// Desktop generation: displays, allowed and secret windows with their
// applications, browser accessibility trees and the capture requests.
#include "tests/leak/LeakDesktopGenerator.h"

#include <algorithm>
#include <random>
#include <set>

#include <nlohmann/json.hpp>

#include "Sablekit/context/ApplicationCapabilityRegistry.h"

namespace Sablekit::Leak {
namespace {

using Registry = ApplicationCapabilityRegistry;
using Random = std::mt19937_64;

constexpr std::int32_t finderPID = 400;
constexpr std::int32_t firefoxPID = 612;
constexpr std::int32_t chromePID = 613;

std::int64_t uniform(Random& random, std::int64_t low, std::int64_t high) {
  return std::uniform_int_distribution<std::int64_t>(low, high)(random);
}

double uniformReal(Random& random, double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(random);
}

bool chance(Random& random, double probability) {
  return std::bernoulli_distribution(probability)(random);
}

template <class T>
const T& pick(Random& random, const std::vector<T>& values) {
  return values[static_cast<std::size_t>(uniform(random, 0, static_cast<std::int64_t>(values.size()) - 1))];
}

// A registry set in a fixed order, so that a seed picks the same member on
// every run whatever the hash set's iteration order.
std::vector<std::string> sorted(const StringSet& set) {
  std::vector<std::string> members(set.begin(), set.end());
  std::sort(members.begin(), members.end());
  return members;
}

// Words of allowed windows use only these letters and secret words always
// hold one of the others, so no secret word can hide inside allowed text.
std::string allowedWord(Random& random) {
  static constexpr std::string_view consonants = "lmnprst";
  static constexpr std::string_view vowels = "aeiou";
  std::string word;
  const auto syllables = uniform(random, 2, 3);
  for (std::int64_t i = 0; i < syllables; ++i) {
    word += consonants[static_cast<std::size_t>(uniform(random, 0, consonants.size() - 1))];
    word += vowels[static_cast<std::size_t>(uniform(random, 0, vowels.size() - 1))];
  }
  return word;
}

std::string secretWord(Random& random) {
  static constexpr std::string_view rareConsonants = "bdgkqvxzj";
  static constexpr std::string_view vowels = "aeiou";
  std::string word;
  for (int i = 0; i < 4; ++i) {
    word += rareConsonants[static_cast<std::size_t>(uniform(random, 0, rareConsonants.size() - 1))];
    word += vowels[static_cast<std::size_t>(uniform(random, 0, vowels.size() - 1))];
  }
  return word;
}

Colour allowedFill(Random& random) {
  const auto base = uniform(random, 30, 225);
  Colour colour{};
  for (int channel = 0; channel < 3; ++channel) {
    colour[static_cast<std::size_t>(channel)] = static_cast<std::uint8_t>(base + uniform(random, 0, 30));
  }
  colour[3] = 0xff;
  return colour;
}

// An identifier as a platform or a parent might spell it: any letter case,
// and sometimes white space around it.
std::string respelled(Random& random, std::string_view bundleID, bool padding) {
  std::string text(bundleID);
  for (char& c : text) {
    if (c >= 'a' && c <= 'z' && chance(random, 0.3)) {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  if (padding && chance(random, 0.5)) {
    text = (chance(random, 0.5) ? " " : "\t") + text + (chance(random, 0.5) ? "\n" : "  ");
  }
  return text;
}

struct PlannedWindow {
  std::uint32_t number = 0;
  std::int32_t processID = 0;
  Rect bounds;
  std::int64_t layer = 0;
  std::string title;
  SimulatedWindowContent content;
  std::optional<std::string> pageURL;  // browser windows
  std::optional<std::size_t> secret;
};

class Builder {
 public:
  explicit Builder(std::uint64_t seed) : random_(seed) { result_.seed = seed; }

  LeakDesktop build() {
    result_.desktop = std::make_unique<SimulatedDesktop>();
    result_.desktop->setProcess(LeakDesktopGenerator::hostProcessID, LeakDesktopGenerator::parentProcessID);
    makeDisplays();
    colours_.assign(LeakDesktopGenerator::markerColours().begin(), LeakDesktopGenerator::markerColours().end());
    std::shuffle(colours_.begin(), colours_.end(), random_);

    addApplication(LeakDesktopGenerator::parentProcessID, std::string("app.orvane.Orvane"), "Orvane");
    addApplication(finderPID, std::string(Registry::finderBundleID), "Finder");
    addApplication(firefoxPID, std::string("org.mozilla.firefox"), "Firefox");
    addApplication(chromePID, std::string("com.google.chrome"), "Google Chrome");

    // The focused window first, so that it is the largest of its application's.
    const bool secretFocus = chance(random_, 0.45);
    PlannedWindow focused = secretFocus ? secretWindow(randomSecretKind(), true) : allowedWindow(true);
    const auto secretCount = uniform(random_, 1, 8);
    std::vector<PlannedWindow> others;
    for (std::int64_t i = 0; i < secretCount && colours_.size() > 0; ++i) {
      others.push_back(secretWindow(randomSecretKind(), false));
    }
    const auto allowedCount = uniform(random_, 1, 6);
    for (std::int64_t i = 0; i < allowedCount; ++i) {
      others.push_back(allowedWindow(false));
    }
    std::shuffle(others.begin(), others.end(), random_);

    // Windows above the normal layer (banners, panels) may lie in front of
    // the focused window in the list; they never take the focus.
    std::vector<PlannedWindow> list;
    std::vector<PlannedWindow> behind;
    for (PlannedWindow& window : others) {
      (window.layer != 0 && chance(random_, 0.5) ? list : behind).push_back(std::move(window));
    }
    result_.focusedWindowNumber = focused.number;
    result_.focusedSecret = focused.secret;
    const std::int32_t frontmost = focused.processID;
    list.push_back(std::move(focused));
    for (PlannedWindow& window : behind) {
      list.push_back(std::move(window));
    }
    list.push_back(desktopWindow());

    SimulatedWindowServer& server = result_.desktop->simulatedWindowServer();
    for (const PlannedWindow& window : list) {
      WindowListEntry entry =
          SimulatedWindowServer::window(window.number, window.processID, window.bounds, window.layer,
                                        window.title.empty() ? std::nullopt : std::optional(window.title));
      server.addWindow(std::move(entry), window.layer < 0, window.content);
    }
    SimulatedWorkspace& workspace = result_.desktop->simulatedWorkspace();
    for (const RunningApplication& application : applications_) {
      workspace.addApplication(application);
    }
    workspace.setFrontmostProcessID(frontmost);
    // Somewhere in the bottom 300 points of the main display.
    const double pointerX = uniformReal(random_, 0, displays_[0].frame.width);
    const double pointerAboveBottom = uniformReal(random_, 0, 300);
    workspace.setPointer(Point{pointerX, displays_[0].frame.maxY() - pointerAboveBottom});
    loadBrowserTrees(list);
    makeRequests();
    return std::move(result_);
  }

 private:
  void makeDisplays() {
    const double width = static_cast<double>(uniform(random_, 560, 1000));
    const double height = static_cast<double>(uniform(random_, 360, 640));
    displays_.push_back(
        {.displayID = 1, .frame = {0, 0, width, height}, .pixelsPerPoint = chance(random_, 0.5) ? 2.0 : 1.0});
    if (chance(random_, 0.35)) {
      displays_.push_back(
          {.displayID = 2,
           .frame = {width, static_cast<double>(uniform(random_, -150, 150)),
                     static_cast<double>(uniform(random_, 560, 900)), static_cast<double>(uniform(random_, 360, 600))},
           .pixelsPerPoint = chance(random_, 0.5) ? 2.0 : 1.0});
    }
    for (const SimulatedDisplay& display : displays_) {
      result_.desktop->simulatedWindowServer().addDisplay(display);
      smallestWidth_ = std::min(smallestWidth_, display.frame.width);
      smallestHeight_ = std::min(smallestHeight_, display.frame.height);
    }
  }

  void addApplication(std::int32_t processID, std::optional<std::string> bundleID, std::string name) {
    applications_.push_back(RunningApplication{.processID = processID,
                                               .bundleID = std::move(bundleID),
                                               .localizedName = std::move(name),
                                               .shortVersionString = "1.0",
                                               .bundleVersion = "100"});
  }

  std::uint32_t windowNumber() {
    while (true) {
      const auto number = static_cast<std::uint32_t>(uniform(random_, 100, 999999));
      if (usedNumbers_.insert(number).second) {
        return number;
      }
    }
  }

  std::int32_t newProcessID() { return nextProcessID_++; }

  // The focused window fills half or more of a display; every other window
  // is smaller than half of the smallest display, so the focused window is
  // always the largest of its application's.
  Rect bounds(bool focused) {
    const SimulatedDisplay& display = displays_[static_cast<std::size_t>(uniform(random_, 0, displays_.size() - 1))];
    const Rect& frame = display.frame;
    double width = 0;
    double height = 0;
    if (focused) {
      width = std::floor(frame.width * uniformReal(random_, 0.5, 0.8));
      height = std::floor(frame.height * uniformReal(random_, 0.5, 0.8));
    } else {
      width = std::floor(smallestWidth_ * uniformReal(random_, 0.15, 0.45));
      height = std::floor(smallestHeight_ * uniformReal(random_, 0.15, 0.45));
    }
    // Other windows may hang over the display's edge; the focused one stays inside.
    const double slack = focused ? 0 : width / 3;
    const double x = frame.x + std::floor(uniformReal(random_, -slack, frame.width - width + slack));
    const double y = frame.y + std::floor(uniformReal(random_, focused ? 0 : -height / 3, frame.height - height));
    return {x, y, width, height};
  }

  std::vector<std::string> allowedLines(std::size_t count) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
      std::string line = allowedWord(random_) + " " + allowedWord(random_);
      lines.push_back(line);
      result_.allowedWords.push_back(line.substr(0, line.find(' ')));
    }
    return lines;
  }

  SimulatedWindowContent allowedContent() {
    return {.fill = allowedFill(random_),
            .text = allowedLines(static_cast<std::size_t>(uniform(random_, 1, 3))),
            .textSize = static_cast<double>(uniform(random_, 14, 24))};
  }

  std::string uniqueSecretWord() {
    while (true) {
      std::string word = secretWord(random_);
      if (usedWords_.insert(word).second) {
        return word;
      }
    }
  }

  SecretKind randomSecretKind() {
    static constexpr SecretKind kinds[] = {
        SecretKind::protectedApplication, SecretKind::protectedApplication, SecretKind::explicitIdentifier,
        SecretKind::unknownBundle,        SecretKind::privateBrowserWindow, SecretKind::privateBrowserWindow,
        SecretKind::excludedDomainPage,   SecretKind::parentListedWindow,   SecretKind::selfApplication,
    };
    return kinds[static_cast<std::size_t>(uniform(random_, 0, std::size(kinds) - 1))];
  }

  std::pair<std::string, ApplicationExclusionGroup> protectedBundle() {
    using G = ApplicationExclusionGroup;
    static const std::vector<G> groups = {G::passwordManagers,
                                          G::passwordManagers,
                                          G::messagingNotifications,
                                          G::messagingNotifications,
                                          G::loginScreen,
                                          G::controlCenter,
                                          G::spotlight,
                                          G::siri};
    const G group = pick(random_, groups);
    const auto table = Registry::exclusionGroups();
    const auto entry = std::find_if(table.begin(), table.end(), [&](const auto& row) { return row.group == group; });
    std::vector<std::string> members(entry->bundleIDs.begin(), entry->bundleIDs.end());
    std::sort(members.begin(), members.end());
    // A group of one draws nothing, so the rest of the desktop keeps its seed's values.
    return {members.size() == 1 ? members.front() : pick(random_, members), group};
  }

  std::int32_t browserProcess() { return chance(random_, 0.5) ? firefoxPID : chromePID; }

  static std::string browserTitle(std::int32_t processID, const std::string& page, bool privateWindow) {
    if (processID == firefoxPID) {
      return page + (privateWindow ? " — Mozilla Firefox Private Browsing" : " — Mozilla Firefox");
    }
    return page + (privateWindow ? " - Google Chrome (Incognito)" : " - Google Chrome");
  }

  PlannedWindow secretWindow(SecretKind kind, bool focused) {
    SecretMarker marker{.kind = kind,
                        .windowNumber = windowNumber(),
                        .processID = 0,
                        .colour = colours_.back(),
                        .word = uniqueSecretWord(),
                        .group = std::nullopt};
    colours_.pop_back();
    PlannedWindow window{.number = marker.windowNumber,
                         .processID = 0,
                         .bounds = bounds(focused),
                         .layer = 0,
                         .title = marker.word + " " + allowedWord(random_),
                         .content = {.fill = marker.colour,
                                     .text = {marker.word, allowedWord(random_) + " " + marker.word},
                                     .textSize = static_cast<double>(uniform(random_, 14, 24))},
                         .pageURL = std::nullopt,
                         .secret = result_.secrets.size()};
    const bool mayFloat = !focused && chance(random_, 0.3);
    switch (kind) {
      case SecretKind::protectedApplication: {
        auto [bundleID, group] = protectedBundle();
        marker.group = group;
        window.processID = newProcessID();
        addApplication(window.processID, respelled(random_, bundleID, false), marker.word);
        window.layer = mayFloat ? 25 : 0;
        break;
      }
      case SecretKind::selfApplication:
        window.processID = newProcessID();
        addApplication(window.processID, respelled(random_, pick(random_, sorted(Registry::selfBundleIDs())), false),
                       marker.word);
        break;
      case SecretKind::explicitIdentifier: {
        const std::string bundleID = "com.vendor" + std::to_string(result_.secrets.size()) + ".tool";
        window.processID = newProcessID();
        addApplication(window.processID, bundleID, marker.word);
        result_.explicitIdentifiers.push_back(respelled(random_, bundleID, true));
        break;
      }
      case SecretKind::unknownBundle:
        window.processID = newProcessID();
        // No identifier at all, an empty one, or no application behind the window.
        if (const auto variant = uniform(random_, 0, 2); variant < 2) {
          addApplication(window.processID, variant == 0 ? std::nullopt : std::optional<std::string>(""), marker.word);
        }
        window.layer = mayFloat ? 25 : 0;
        break;
      case SecretKind::privateBrowserWindow:
        window.processID = browserProcess();
        window.pageURL = "https://www." + allowedWord(random_) + ".org/" + marker.word;
        window.title = browserTitle(window.processID, marker.word, true);
        break;
      case SecretKind::excludedDomainPage: {
        window.processID = browserProcess();
        const std::string domain = "d" + std::to_string(uniform(random_, 10000, 99999)) + ".example";
        window.pageURL = "https://www." + domain + "/" + marker.word + "/account";
        window.title = browserTitle(window.processID, marker.word, false);
        result_.excludedDomains.push_back(chance(random_, 0.5) ? domain
                                                               : respelled(random_, " ." + domain + ". ", false));
        break;
      }
      case SecretKind::parentListedWindow:
        window.processID = LeakDesktopGenerator::parentProcessID;
        result_.parentTitles.push_back(window.title);
        break;
    }
    marker.processID = window.processID;
    result_.secrets.push_back(std::move(marker));
    return window;
  }

  PlannedWindow allowedWindow(bool focused) {
    PlannedWindow window{.number = windowNumber(),
                         .processID = 0,
                         .bounds = bounds(focused),
                         .layer = 0,
                         .title = allowedWord(random_) + ".txt",
                         .content = allowedContent(),
                         .pageURL = std::nullopt,
                         .secret = std::nullopt};
    switch (uniform(random_, 0, 5)) {
      case 0:
      case 1:
        window.processID = newProcessID();
        addApplication(window.processID, "com.example." + allowedWord(random_), "Editor " + allowedWord(random_));
        break;
      case 2:
        window.processID = browserProcess();
        window.pageURL = "https://www." + allowedWord(random_) + ".org/" + allowedWord(random_);
        window.title = browserTitle(window.processID, allowedWord(random_), false);
        break;
      case 3:
        window.processID = LeakDesktopGenerator::parentProcessID;
        window.title = "Orvane " + allowedWord(random_);
        break;
      case 4:
        window.processID = finderPID;
        window.title = "Documents";
        break;
      default:
        window.processID = newProcessID();
        addApplication(window.processID, "org.example." + allowedWord(random_), "Viewer");
        window.layer = focused ? 0 : 3;
        break;
    }
    return window;
  }

  PlannedWindow desktopWindow() {
    const Rect& main = displays_[0].frame;
    return {.number = windowNumber(),
            .processID = finderPID,
            .bounds = main,
            .layer = -2147483603,
            .title = "",
            .content = {.fill = allowedFill(random_), .text = {}, .textSize = 14},
            .pageURL = std::nullopt,
            .secret = std::nullopt};
  }

  // Each browser's accessibility tree lists all its windows with their
  // frames, the first one listed on screen focused; each window has its page
  // as a group with an address (Chromium's reader) and a web area (Gecko's).
  void loadBrowserTrees(const std::vector<PlannedWindow>& list) {
    nlohmann::json applications = nlohmann::json::array();
    for (const std::int32_t processID : {firefoxPID, chromePID}) {
      nlohmann::json windows = nlohmann::json::array();
      std::optional<std::string> focusedID;
      for (const PlannedWindow& window : list) {
        if (window.processID != processID) {
          continue;
        }
        const std::string id = "w" + std::to_string(window.number);
        if (!focusedID) {
          focusedID = id;
        }
        windows.push_back({{"id", id},
                           {"attributes",
                            {{"AXRole", "AXWindow"},
                             {"AXTitle", window.title},
                             {"AXPosition", {{"point", {window.bounds.x, window.bounds.y}}}},
                             {"AXSize", {{"size", {window.bounds.width, window.bounds.height}}}}}},
                           {"children",
                            {{{"attributes", {{"AXRole", "AXGroup"}, {"AXURL", {{"url", *window.pageURL}}}}}},
                             {{"attributes",
                               {{"AXRole", "AXWebArea"},
                                {"AXTitle", window.content.text.front()},
                                {"AXURL", {{"url", *window.pageURL}}}}}}}}});
      }
      if (!focusedID) {
        continue;
      }
      applications.push_back(
          {{"processID", processID},
           {"id", "app" + std::to_string(processID)},
           {"attributes", {{"AXRole", "AXApplication"}, {"AXFocusedWindow", {{"element", *focusedID}}}}},
           {"children", windows}});
    }
    result_.desktop->simulatedAccessibility().loadScenario({{"applications", applications}});
  }

  CaptureProbeParameters listing(CaptureProbeParameters parameters) {
    std::vector<std::string> identifiers = result_.explicitIdentifiers;
    identifiers.push_back("com.unrelated." + allowedWord(random_));
    std::shuffle(identifiers.begin(), identifiers.end(), random_);
    parameters.excludedBundleIDs = identifiers;
    std::vector<std::string> domains = result_.excludedDomains;
    if (chance(random_, 0.5)) {
      domains.push_back("unrelated-" + allowedWord(random_) + ".net");
    }
    parameters.excludedDomains = domains;
    // Listed titles first: only the first entries of the list count.
    std::vector<std::string> titles = result_.parentTitles;
    titles.push_back("Orvane settings");
    parameters.excludedParentWindowTitles = titles;
    return parameters;
  }

  std::optional<std::int64_t> maximumDimension() {
    static const std::vector<std::optional<std::int64_t>> choices = {std::nullopt, 100,  320,  333,  517,
                                                                     1280,         2000, 3840, 7680, 99999};
    return pick(random_, choices);
  }

  void makeRequests() {
    std::vector<int> profiles = {0, 1, 2, 3, 4, 5, 6, 7};
    std::shuffle(profiles.begin(), profiles.end(), random_);
    profiles.resize(3);
    for (std::size_t i = 0; i < profiles.size(); ++i) {
      LeakRequest request{.method = "capture.probe", .parameters = CaptureProbeParameters{}, .listsSecrets = true};
      CaptureProbeParameters& p = *request.parameters;
      switch (profiles[i]) {
        case 0:  // no parameters: the strictest policy
          request.parameters.reset();
          request.listsSecrets = false;
          break;
        case 1:
          p = listing(p);
          break;
        case 2:
          p = listing(p);
          p.excludeProtectedApplications = false;
          break;
        case 3: {
          p = listing(p);
          std::vector<std::string> names;
          for (const auto& [group, rawName] : RawValues<ApplicationExclusionGroup>::cases) {
            if (chance(random_, 0.5)) {
              names.emplace_back(rawName);
            }
          }
          if (chance(random_, 0.3)) {
            names.emplace_back("notAGroup");
          }
          p.enabledExclusionGroups = names;
          break;
        }
        case 4:
          p = listing(p);
          p.excludePrivateBrowsing = false;
          break;
        case 5:
          p = listing(p);
          p.recordUnknownBundleIDs = true;
          break;
        case 6:  // parameters that list nothing
          request.listsSecrets = false;
          break;
        default:
          p = listing(p);
          p.inactive = true;
          break;
      }
      if (request.parameters) {
        request.parameters->maximumDimension = maximumDimension();
      }
      result_.requests.push_back(request);
      // Frames cost an encoding each: one per desktop.
      if (i == 0) {
        request.method = "capture.frame";
        result_.requests.push_back(std::move(request));
      }
    }
  }

  Random random_;
  LeakDesktop result_;
  std::vector<SimulatedDisplay> displays_;
  double smallestWidth_ = 1e9;
  double smallestHeight_ = 1e9;
  std::vector<Colour> colours_;
  std::vector<RunningApplication> applications_;
  std::set<std::uint32_t> usedNumbers_;
  std::set<std::string> usedWords_;
  std::int32_t nextProcessID_ = 700;
};

}  // namespace

LeakDesktop LeakDesktopGenerator::generate(std::uint64_t seed) {
  return Builder(seed).build();
}

std::uint64_t LeakDesktopGenerator::desktopSeed(std::uint64_t runSeed, std::uint64_t index) {
  // SplitMix64 of the pair: neighbouring indices give unrelated desktops.
  std::uint64_t z = runSeed + 0x9e3779b97f4a7c15ULL * (index + 1);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

const std::array<Colour, LeakDesktopGenerator::maximumSecrets>& LeakDesktopGenerator::markerColours() {
  // Two colours on each edge of the hue hexagon at full saturation, a quarter
  // from each corner: blends of two of them are never near a third.
  static const std::array<Colour, maximumSecrets> colours = [] {
    std::array<Colour, maximumSecrets> result{};
    const std::array<std::array<int, 3>, 6> corners{
        {{240, 0, 0}, {240, 240, 0}, {0, 240, 0}, {0, 240, 240}, {0, 0, 240}, {240, 0, 240}}};
    std::size_t next = 0;
    for (std::size_t edge = 0; edge < corners.size(); ++edge) {
      const auto& from = corners[edge];
      const auto& to = corners[(edge + 1) % corners.size()];
      for (const int quarter : {1, 3}) {
        Colour colour{};
        for (std::size_t channel = 0; channel < 3; ++channel) {
          colour[channel] = static_cast<std::uint8_t>(from[channel] + (to[channel] - from[channel]) * quarter / 4);
        }
        colour[3] = 0xff;
        result[next++] = colour;
      }
    }
    return result;
  }();
  return colours;
}

bool LeakDesktopGenerator::isAllowedColour(const Colour& colour) {
  const auto [low, high] = std::minmax({colour[0], colour[1], colour[2]});
  return high - low <= 40;
}

}  // namespace Sablekit::Leak
