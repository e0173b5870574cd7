#include "base/thread_pool.h"

#include <pthread.h>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

namespace dro::threads {
namespace {

thread_local bool insideBand = false;

int32_t DefaultCount() noexcept {
  if (const char* text = std::getenv("DROVINE_THREADS"); text && *text) {
    const long value = std::strtol(text, nullptr, 10);
    if (value >= 1) return static_cast<int32_t>(std::min<long>(value, kMostThreads));
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return static_cast<int32_t>(std::clamp<unsigned>(hardware, 1, kMostThreads));
}

// The workers wait for a new generation of work, take bands by number until
// none is left, and report each finished band.
class Pool {
 public:
  ~Pool() { Stop(); }

  int32_t count() const noexcept { return count_; }
  bool made() const noexcept { return made_; }

  int32_t Resize(int32_t wanted) noexcept {
    Stop();
    made_ = true;
    count_ = 1;
    for (int32_t i = 1; i < wanted; ++i) {
      try {
        workers_[i - 1] = std::thread([this] { Work(); });
      } catch (...) {
        break;  // no more threads to be had: work with those there are
      }
      count_ = i + 1;
    }
    return count_;
  }

  void ForgetWorkers() noexcept {
    // Moved into storage whose destructors never run.
    alignas(std::thread) static unsigned char setAside[sizeof(std::thread) * (kMostThreads - 1)];
    for (int32_t i = 0; i + 1 < count_; ++i)
      new (setAside + i * sizeof(std::thread)) std::thread(std::move(workers_[i]));
    count_ = 1;
  }

  void Run(int64_t count, int64_t leastPerBand, BandBody body, void* context) noexcept {
    const int64_t least = std::max<int64_t>(leastPerBand, 1);
    const int64_t bands = std::min<int64_t>(count_, count / least);
    if (bands <= 1 || insideBand) {
      if (count > 0) body(context, 0, count);
      return;
    }
    const Job job{body, context, count, bands};
    {
      // A worker still looking at the last job must be done with it before
      // the band counter starts again.
      std::unique_lock<std::mutex> lock(mutex_);
      done_.wait(lock, [this] { return active_ == 0; });
      job_ = job;
      next_.store(0, std::memory_order_relaxed);
      left_ = bands;
      ++generation_;
    }
    wake_.notify_all();
    const int64_t finished = TakeBands(job);
    std::unique_lock<std::mutex> lock(mutex_);
    left_ -= finished;
    done_.wait(lock, [this] { return left_ == 0 && active_ == 0; });
  }

 private:
  struct Job {
    BandBody body = nullptr;
    void* context = nullptr;
    int64_t items = 0, bands = 0;
  };

  void Stop() noexcept {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (int32_t i = 0; i + 1 < count_; ++i) workers_[i].join();
    stopping_ = false;
    count_ = 1;
  }

  // Takes bands of `job` until none is left (band b covers an even share of
  // the items); returns how many it ran.
  int64_t TakeBands(const Job& job) noexcept {
    insideBand = true;
    int64_t finished = 0;
    for (;;) {
      const int64_t b = next_.fetch_add(1, std::memory_order_relaxed);
      if (b >= job.bands) break;
      job.body(job.context, job.items * b / job.bands, job.items * (b + 1) / job.bands);
      ++finished;
    }
    insideBand = false;
    return finished;
  }

  void Work() noexcept {
    uint64_t seen = 0;
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        job = job_;
        ++active_;
      }
      const int64_t finished = TakeBands(job);
      std::lock_guard<std::mutex> lock(mutex_);
      left_ -= finished;
      --active_;
      if (left_ == 0 && active_ == 0) done_.notify_all();
    }
  }

  std::thread workers_[kMostThreads - 1];
  int32_t count_ = 1;
  bool made_ = false;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  bool stopping_ = false;
  uint64_t generation_ = 0;
  Job job_;
  int64_t left_ = 0;    // bands not yet finished
  int32_t active_ = 0;  // workers holding a copy of the job
  std::atomic<int64_t> next_{0};
};

Pool& ThePool() noexcept;

// A child made by fork() has only the thread that forked: the workers are
// gone, so the child works on its own thread. Their handles are set aside
// unjoined (joining or destroying them would wait for, or abort on, threads
// that do not exist there).
void ForgetWorkersInChild() noexcept {
  ThePool().ForgetWorkers();
}

Pool& ThePool() noexcept {
  static Pool pool;
  static const bool registered = pthread_atfork(nullptr, nullptr, ForgetWorkersInChild) == 0;
  (void)registered;
  return pool;
}

}  // namespace

int32_t SetThreadCount(int32_t count) noexcept {
  const int32_t wanted = count <= 0 ? DefaultCount() : std::min(count, kMostThreads);
  return ThePool().Resize(wanted);
}

void EnsurePool() noexcept {
  if (!ThePool().made()) ThePool().Resize(DefaultCount());
}

int32_t ThreadCount() noexcept {
  EnsurePool();
  return ThePool().count();
}

void ForBands(int64_t count, int64_t leastPerBand, BandBody body, void* context) noexcept {
  ThePool().Run(count, leastPerBand, body, context);
}

}  // namespace dro::threads
