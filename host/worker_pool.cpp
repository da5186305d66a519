// Fork-join pool standing in for the host's thread service.
#include <zoncore/threads.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zoncore::threads {
namespace {

using Task = boost::function<void(int)>;

// One call of ExecuteCPUBoundTaskOnAllProcessors. It lives on the caller's stack, so the
// caller waits until no thread still runs one of its indices (unfinished == 0).
struct Job {
  const Task* task;
  int count;
  int next = 0;
  int unfinished;
  std::condition_variable done;
};

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void run(const Task& task, int count);

 private:
  void workerLoop();
  int claim(Job& job);
  void runClaimed(Job& job, int index, std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable work_;
  std::deque<Job*> queue_;  // jobs that still have unclaimed indices
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

WorkerPool::WorkerPool(int threads) {
  // The calling thread of every job runs indices too.
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { workerLoop(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void WorkerPool::run(const Task& task, int count) {
  Job job{&task, count, 0, count, {}};
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(&job);
  work_.notify_all();
  // Working on its own job first means a caller never waits on a busy pool.
  while (job.next < job.count) runClaimed(job, claim(job), lock);
  job.done.wait(lock, [&job] { return job.unfinished == 0; });
}

void WorkerPool::workerLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Job& job = *queue_.front();
    runClaimed(job, claim(job), lock);
  }
}

// Called with the lock held.
int WorkerPool::claim(Job& job) {
  const int index = job.next++;
  if (job.next == job.count) queue_.erase(std::find(queue_.begin(), queue_.end(), &job));
  return index;
}

void WorkerPool::runClaimed(Job& job, int index, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  try {
    (*job.task)(index);
  } catch (...) {
    // Tasks must not throw; an escaping exception must not leave the job unfinished.
  }
  lock.lock();
  // Notified under the lock: the caller cannot wake and destroy the job before this returns.
  if (--job.unfinished == 0) job.done.notify_one();
}

int defaultThreadCount() {
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

class PoolHolder {
 public:
  WorkerPool& pool() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!pool_) pool_ = std::make_unique<WorkerPool>(resolvedThreads());
    return *pool_;
  }

  void setThreads(int threads) {
    std::lock_guard<std::mutex> lock(mutex_);
    pool_.reset();  // rebuilt on next use
    requested_ = threads;
  }

  int threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return resolvedThreads();
  }

 private:
  int resolvedThreads() const { return requested_ > 0 ? requested_ : defaultThreadCount(); }

  std::mutex mutex_;
  int requested_ = 0;
  std::unique_ptr<WorkerPool> pool_;
};

PoolHolder& holder() {
  static PoolHolder instance;
  return instance;
}

}  // namespace

void ExecuteCPUBoundTaskOnAllProcessors(const boost::function<void(int)>& task, int count) {
  if (count <= 0) return;
  holder().pool().run(task, count);
}

void SetWorkerCount(int workers) { holder().setThreads(workers); }

int WorkerCount() { return holder().threads(); }

}  // namespace zoncore::threads
