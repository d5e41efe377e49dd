#include "analysis/sharedwork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vardell {
namespace {

// Every part is done once, whatever the number of threads and parts, also when several
// runs share the helpers at the same moment and when runs follow each other closely.
TEST(RunShared, DoesEveryPartOnce) {
  const struct {
    int First, Last, Threads;
  } cases[] = {{0, 0, 4}, {1, 2, 2}, {0, 13, 2}, {1, 201, 8}, {5, 9, 16}, {0, 1000, 3}};
  for (const auto& c : cases) {
    for (int round = 0; round < 20; ++round) {
      std::vector<std::atomic<int>> done(c.Last + 1);
      RunShared(c.First, c.Last, c.Threads, [&](int i) { ++done[i]; });
      for (int i = 0; i <= c.Last; ++i)
        ASSERT_EQ(done[i].load(), i >= c.First && i < c.Last ? 1 : 0) << c.First << ".." << c.Last;
    }
  }
  std::vector<std::thread> runs;
  std::atomic<int> wrong{0};
  for (int r = 0; r < 4; ++r)
    runs.emplace_back([&] {
      for (int round = 0; round < 50; ++round) {
        std::vector<std::atomic<int>> done(300);
        RunShared(0, 300, 2, [&](int i) { ++done[i]; });
        for (auto& d : done) wrong += d.load() != 1;
      }
    });
  for (std::thread& run : runs) run.join();
  EXPECT_EQ(wrong.load(), 0);
}

// The exception of the lowest failing part is the one that comes out, as in a single loop.
TEST(RunShared, RethrowsTheLowestFailure) {
  for (const int threads : {1, 2, 8}) {
    try {
      RunShared(0, 500, threads, [](int i) {
        if (i % 97 == 40) throw std::runtime_error(std::to_string(i));
      });
      FAIL() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "40") << threads;
    }
  }
}

}  // namespace
}  // namespace vardell
