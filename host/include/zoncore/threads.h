// Stand-in for the host's thread service. A real host links its own zoncore
// library instead; Istrel relies only on the contract stated here.
#pragma once

#include <boost/function.hpp>

namespace zoncore::threads {

// Calls task(i) exactly once for every i in [0, count), spread over the
// processors, and returns only when every call has returned. Everything the
// tasks wrote is visible to the caller afterwards. Tasks must not throw.
void ExecuteCPUBoundTaskOnAllProcessors(const boost::function<void(int)>& task, int count);

// Stand-in only (tools and tests): the number of threads that run tasks,
// the calling thread included. 0 restores the default, one per processor.
void SetWorkerCount(int workers);

// The number of threads that currently run tasks, the calling thread included.
int WorkerCount();

}  // namespace zoncore::threads
