#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Sablekit/platform/Geometry.h"
#include "Sablekit/platform/RunLoop.h"

namespace Sablekit {
namespace {

TEST(RunLoop, RunsPostedTasksInOrderOnTheRunningThreadUntilStopped) {
  RunLoop loop;
  std::vector<int> order;
  std::thread::id ranOn;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) {
      loop.post([&order, i] { order.push_back(i); });
    }
    loop.post([&] {
      ranOn = std::this_thread::get_id();
      loop.stop();
    });
    loop.post([&order] { order.push_back(-1); });
  });
  loop.run();
  poster.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  ASSERT_EQ(order.size(), 100u) << "the task after stop() stays queued";
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  }
  EXPECT_EQ(loop.runUntilIdle(), 1);
  EXPECT_EQ(order.back(), -1);
}

TEST(RunLoop, RunUntilIdleAlsoRunsWhatTasksPost) {
  RunLoop loop;
  int depth = 0;
  std::function<void()> nest = [&] {
    if (++depth < 5) {
      loop.post(nest);
    }
  };
  loop.post(nest);
  EXPECT_EQ(loop.runUntilIdle(), 5);
  EXPECT_EQ(loop.runUntilIdle(), 0);
}

TEST(Rect, IntersectionNeedsOverlappingInteriorsAndContainmentIsHalfOpen) {
  const Rect display{0, 0, 100, 100};
  struct Case {
    const char* name;
    Rect rect;
    bool intersects;
  };
  const Case cases[] = {
      {"inside", {10, 10, 5, 5}, true},
      {"straddling", {90, 90, 20, 20}, true},
      {"touching the right edge", {100, 0, 10, 10}, false},
      {"touching the bottom edge", {0, 100, 10, 10}, false},
      {"zero width", {10, 10, 0, 10}, false},
      {"negative size is standardised", {20, 20, -10, -10}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(display.intersects(c.rect), c.intersects);
    EXPECT_EQ(c.rect.intersects(display), c.intersects);
  }
  EXPECT_TRUE(display.contains({0, 0}));
  EXPECT_FALSE(display.contains({100, 50}));
  EXPECT_FALSE(display.contains({50, 100}));
  EXPECT_EQ((Rect{0, 0, 10, 20}.midpoint()), (Point{5, 10}));
}

}  // namespace
}  // namespace Sablekit
