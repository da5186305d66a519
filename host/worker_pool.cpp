// Fork-join pool standing in for the host's thread service.
#include <zoncore/threads.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace zoncore::threads {
namespace {

using Task = boost::function<void(int)>;

// Worker threads of every pool, started and not yet joined.
std::atomic<int> runningWorkers{0};

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
  // The calling thread of every job runs indices too, so a worker that
  // cannot be started leaves its share to the others and to the callers.
  workers_.reserve(static_cast<std::size_t>(std::max(0, threads - 1)));
  try {
    for (int i = 1; i < threads; ++i) {
      workers_.emplace_back([this] { workerLoop(); });
      ++runningWorkers;
    }
  } catch (...) {
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  work_.notify_all();
  for (std::thread& worker : workers_) {
    worker.join();
    --runningWorkers;
  }
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

// The leases, the requested count and the running pool. A pool lives while
// leases are held or calls still run on it (they hold it too); whoever drops
// it last joins its workers, outside the holder's lock.
class PoolHolder {
 public:
  void acquire() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++leases_;
  }

  // `last` and `retired` are declared before the lock, so they are destroyed
  // (their workers joined) after it is unlocked.
  void release() {
    std::shared_ptr<WorkerPool> last;
    std::lock_guard<std::mutex> lock(mutex_);
    if (--leases_ == 0) last = std::move(pool_);
  }

  // Called with a lease held.
  std::shared_ptr<WorkerPool> pool() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!pool_) pool_ = std::make_shared<WorkerPool>(resolvedThreads());
    return pool_;
  }

  void setThreads(int threads) {
    std::shared_ptr<WorkerPool> retired;
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = threads;
    retired = std::move(pool_);
  }

  int threads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return resolvedThreads();
  }

 private:
  int resolvedThreads() const { return requested_ > 0 ? requested_ : defaultThreadCount(); }

  std::mutex mutex_;
  long leases_ = 0;
  int requested_ = 0;
  std::shared_ptr<WorkerPool> pool_;
};

// Never destroyed: a destructor run at exit or at unload (on Windows under
// the loader lock, where no thread can end) must not join threads.
PoolHolder& holder() {
  alignas(PoolHolder) static unsigned char storage[sizeof(PoolHolder)];
  static PoolHolder* const instance = new (storage) PoolHolder;
  return *instance;
}

}  // namespace

void ExecuteCPUBoundTaskOnAllProcessors(const boost::function<void(int)>& task, int count) {
  if (count <= 0) return;
  const WorkerLease lease;  // the pool outlives the call
  holder().pool()->run(task, count);
}

void SetWorkerCount(int workers) { holder().setThreads(workers); }

int WorkerCount() { return holder().threads(); }

WorkerLease::WorkerLease() { holder().acquire(); }

WorkerLease::~WorkerLease() { holder().release(); }

int RunningWorkerCount() { return runningWorkers.load(); }

}  // namespace zoncore::threads
