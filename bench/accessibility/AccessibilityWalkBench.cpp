// Measures the accessibility walk on the simulated client: a full walk of a
// 5,000-node tree whose elements carry all 45 attributes, the same platform
// calls made without the walk (so the walk's own work is the difference), and
// the work of patching one 50-node subtree into the walked snapshot.
#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "Sablekit/accessibility/AccessibilityAttributeSerialization.h"
#include "Sablekit/accessibility/AccessibilityNodeOrder.h"
#include "Sablekit/accessibility/AccessibilitySnapshotAssembly.h"
#include "Sablekit/accessibility/AccessibilitySnapshotService.h"
#include "Sablekit/platform/simulated/SimulatedAccessibility.h"

namespace Sablekit {
namespace {

constexpr std::int32_t pid = 500;
constexpr const char* bundleID = "com.example.bench";

class Trusted final : public PermissionChecks {
 public:
  bool screenRecordingPreflight() override { return true; }
  bool accessibilityTrusted() override { return true; }
};

// A plausible value of the right kind for every attribute the walk asks for,
// except role, title and identifier, which the generator makes distinct.
std::vector<std::pair<std::string, AccessibilityValue>> everyAttribute(const SimulatedAccessibility& client) {
  std::vector<std::pair<std::string, AccessibilityValue>> values;
  for (const auto& batch : attributeBatches()) {
    for (const auto& name : batch) {
      AccessibilityValue value = "text of " + name;
      if (name == "AXRole" || name == "AXTitle" || name == "AXIdentifier") {
        continue;
      } else if (name == "AXPosition") {
        value = AccessibilityPoint{120.5, 480};
      } else if (name == "AXSize") {
        value = AccessibilitySize{300, 22.25};
      } else if (name == "AXURL") {
        value = AccessibilityURL{"https://example.com/page"};
      } else if (name == "AXSelectedTextRange" || name == "AXVisibleCharacterRange") {
        value = AccessibilityRange{3, 12};
      } else if (name == "AXDOMClassList" || name == "AXColumnTitles") {
        value = AccessibilityArray{{std::string("row"), std::string("selected"), std::string("wide")}};
      } else if (name == "AXLinkedUIElements" || name == "AXTitleUIElement" || name == "AXMainWindow") {
        value = client.reference("app");
      } else if (name == "AXMinValue" || name == "AXMaxValue" || name == "AXValueIncrement" || name == "AXIndex") {
        value = std::int64_t{7};
      } else if (name.starts_with("AXEnabled") || name == "AXFocused" || name == "AXSelected" || name == "AXHidden" ||
                 name == "AXMinimized" || name == "AXMain" || name == "AXModal" || name == "AXExpanded" ||
                 name == "AXFrontmost" || name == "AXVisited" || name == "AXElementBusy" || name == "AXDisclosing") {
        value = true;
      }
      values.emplace_back(name, std::move(value));
    }
  }
  return values;
}

// app -> 100 groups, each the root of a 50-node subtree (itself and 49
// descendants): 5,001 elements, of which the walk reads its limit of 5,000.
struct BenchTree {
  SimulatedClock clock;
  FaultInjector faults;
  SimulatedAccessibility accessibility{clock, faults};
  Trusted permissions;
  AccessibilitySnapshotService service{accessibility, permissions, clock};
  std::vector<std::string> groups;

  BenchTree() {
    accessibility.addApplication(pid, "app").setValue("app", "AXRole", std::string("AXApplication"));
    const auto attributes = everyAttribute(accessibility);
    groups = accessibility.addGeneratedDescendants("app", {.count = 100, .fanOut = 100, .attributes = attributes});
    for (const auto& group : groups) {
      accessibility.addGeneratedDescendants(group, {.count = 49, .fanOut = 7, .attributes = attributes});
    }
  }

  static BenchTree& shared() {
    static BenchTree tree;
    return tree;
  }
};

void FullWalk(benchmark::State& state) {
  BenchTree& tree = BenchTree::shared();
  std::size_t nodes = 0;
  for (auto _ : state) {
    const auto build = tree.service.walk(bundleID, pid, AccessibilityWindowScope::unrestricted());
    nodes = build.nodes.size();
    benchmark::DoNotOptimize(build.serializedBytes);
  }
  state.counters["nodes"] = static_cast<double>(nodes);
}

// The walk plus turning its nodes into the record that is sent.
void FullSnapshot(benchmark::State& state) {
  BenchTree& tree = BenchTree::shared();
  for (auto _ : state) {
    const auto result = tree.service.snapshot("Bench", bundleID, pid, AccessibilityWindowScope::unrestricted());
    benchmark::DoNotOptimize(result.searchableText.size());
  }
}

// The platform calls of a full walk (three batches and the children per
// element, depth first, 5,000 elements) with none of the walk's own work.
void PlatformCallsOnly(benchmark::State& state) {
  BenchTree& tree = BenchTree::shared();
  AccessibilityClient& client = tree.accessibility;
  for (auto _ : state) {
    std::vector<AccessibilityElement> stack{client.applicationElement(pid)};
    std::size_t visited = 0;
    while (!stack.empty() && visited < 5000) {
      const AccessibilityElement element = std::move(stack.back());
      stack.pop_back();
      ++visited;
      for (const auto& batch : attributeBatches()) {
        benchmark::DoNotOptimize(client.readAttributes(element, batch));
      }
      auto children = client.readAttribute(element, "AXChildren");
      if (auto* array = children ? std::get_if<AccessibilityArray>(&children->storage) : nullptr) {
        for (auto entry = array->elements.rbegin(); entry != array->elements.rend(); ++entry) {
          stack.push_back(std::get<AccessibilityElementReference>(entry->storage).element);
        }
      }
    }
  }
}

// What a patch of one changed 50-node subtree costs: split off the old
// subtree, re-walk it with the remaining budgets and its ancestors, relink
// the whole list and assemble the record.
void SubtreePatch(benchmark::State& state) {
  BenchTree& tree = BenchTree::shared();
  const AccessibilityTreeBuild full = tree.service.walk(bundleID, pid, AccessibilityWindowScope::unrestricted());
  const auto root =
      std::find_if(full.nodes.begin(), full.nodes.end(), [](const auto& node) { return node.path == "0.42"; });
  const std::string prefix = root->path + ".";
  const AccessibilitySnapshotSubject subject{.applicationName = "Bench", .bundleID = bundleID, .processID = pid};
  std::size_t walked = 0;
  for (auto _ : state) {
    std::vector<IndexedAccessibilityNode> kept;
    kept.reserve(full.nodes.size());
    std::int64_t subtreeBytes = 0;
    std::vector<AccessibilityElement> ancestors;
    for (const auto& node : full.nodes) {
      if (node.path == root->path || node.path.starts_with(prefix)) {
        subtreeBytes += serializedByteCount(node.result.attributes);
      } else {
        if (root->path.starts_with(node.path + ".")) {
          ancestors.push_back(node.element);
        }
        kept.push_back(node);
      }
    }
    const std::int64_t keptBytes = full.serializedBytes - subtreeBytes;
    auto build = tree.service.walker().buildTree(root->element, root->path, root->depth, bundleID, pid,
                                                 tree.service.maximumNodes() - static_cast<std::int64_t>(kept.size()),
                                                 tree.service.maximumSerializedBytes() - keptBytes, ancestors,
                                                 AccessibilityWindowScope::unrestricted(), false);
    walked = build.nodes.size();
    std::move(build.nodes.begin(), build.nodes.end(), std::back_inserter(kept));
    const auto nodes = normalizeRelationships(std::move(kept));
    const auto result = snapshotResult(subject, nodes, AccessibilityExtractionMode::incremental, false);
    benchmark::DoNotOptimize(result.searchableText.size());
  }
  state.counters["walked"] = static_cast<double>(walked);
}

BENCHMARK(FullWalk)->Unit(benchmark::kMillisecond);
BENCHMARK(FullSnapshot)->Unit(benchmark::kMillisecond);
BENCHMARK(PlatformCallsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(SubtreePatch)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace Sablekit

BENCHMARK_MAIN();
