// Stand-in for the host's thread service. A real host links its own zoncore
// library instead; Istrel relies only on the contract of
// ExecuteCPUBoundTaskOnAllProcessors stated here. What is marked "stand-in
// only" exists in this build alone.
#pragma once

#include <boost/function.hpp>

namespace zoncore::threads {

// Calls task(i) exactly once for every i in [0, count), spread over the
// processors, and returns only when every call has returned. Everything the
// tasks wrote is visible to the caller afterwards. Tasks must not throw.
// Callers on several threads at once each get their own tasks run.
void ExecuteCPUBoundTaskOnAllProcessors(const boost::function<void(int)>& task, int count);

// Stand-in only (tools and tests): the number of threads that run tasks,
// the calling thread included. 0 restores the default, one per processor.
// Running workers of another count are retired: joined once no call runs on
// them any more. Not to be called from a task.
void SetWorkerCount(int workers);

// The number of threads that run tasks, the calling thread included.
int WorkerCount();

// Stand-in only: what keeps the worker threads alive. The workers, shared by
// every caller, are started by the first ExecuteCPUBoundTaskOnAllProcessors
// while a lease is held, and stopped and joined by the release of the last
// lease, on the releasing thread, before the release returns. A call made
// while no lease is held runs under a lease of its own, so it starts and
// joins its workers itself. Nothing else stops them: no destructor run at
// exit or when the library is unloaded waits for a thread, and a process
// that ends with a lease held ends with its workers. Leases are neither
// taken nor released by tasks.
class WorkerLease {
 public:
  WorkerLease();
  ~WorkerLease();
  WorkerLease(const WorkerLease&) = delete;
  WorkerLease& operator=(const WorkerLease&) = delete;
};

// Stand-in only: the worker threads started and not yet joined (the threads
// that call ExecuteCPUBoundTaskOnAllProcessors not counted).
int RunningWorkerCount();

}  // namespace zoncore::threads
