// Splitting work over the worker threads: every item exactly once, bands
// no smaller than asked, and a band that splits again runs on its thread.
#include "base/thread_pool.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

namespace th = dro::threads;

TEST(ThreadPool, EveryItemRunsOnceWhateverTheCount) {
  for (int32_t threads : {1, 2, 7}) {
    ASSERT_EQ(th::SetThreadCount(threads), threads);
    for (int64_t count : {0, 1, 5, 7, 8, 1000, 1001}) {
      for (int64_t least : {1, 3, 100}) {
        std::vector<std::atomic<int>> seen(static_cast<size_t>(count));
        std::atomic<int64_t> bands{0}, smallest{count};
        th::ForBands(count, least, [&](int64_t begin, int64_t end) {
          ++bands;
          int64_t was = smallest.load();
          while (end - begin < was && !smallest.compare_exchange_weak(was, end - begin)) {
          }
          for (int64_t i = begin; i < end; ++i) ++seen[static_cast<size_t>(i)];
        });
        for (int64_t i = 0; i < count; ++i) {
          ASSERT_EQ(seen[static_cast<size_t>(i)].load(), 1) << threads << " " << count << " " << i;
        }
        EXPECT_LE(bands.load(), threads);
        if (bands.load() > 1) {
          EXPECT_GE(smallest.load(), least);
        }
      }
    }
  }
  th::SetThreadCount(0);
}

TEST(ThreadPool, ABandThatSplitsAgainRunsItsWorkItself) {
  th::SetThreadCount(4);
  std::atomic<int> inner{0};
  th::ForBands(4, 1, [&](int64_t, int64_t) {
    const std::thread::id self = std::this_thread::get_id();
    th::ForBands(100, 1, [&](int64_t begin, int64_t end) {
      EXPECT_EQ(std::this_thread::get_id(), self);
      inner += static_cast<int>(end - begin);
    });
  });
  EXPECT_EQ(inner.load(), 400);
  th::SetThreadCount(0);
}

TEST(ThreadPool, AForkedChildWorksOnItsOwnThread) {
  th::SetThreadCount(3);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The workers did not come along: the work must still be done, and the
    // child must be able to exit.
    int64_t sum = 0;
    th::ForBands(1000, 1, [&](int64_t begin, int64_t end) { sum += end - begin; });
    _exit(sum == 1000 && th::ThreadCount() == 1 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  th::SetThreadCount(0);
}

}  // namespace
