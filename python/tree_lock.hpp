// The long calls (reading, writing, exporting, importing, listing) run without the GIL, so other
// Python threads go on meanwhile. They only read containers that Python code may reach; every
// call that changes a container runs with the GIL held. One lock for the whole process keeps
// the two apart: the calls without the GIL share it, a change takes it alone.
#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <shared_mutex>

namespace quenlo::python {

std::shared_mutex& TreeLock();

/// Runs `body` without the GIL, sharing the tree lock. The lock is let go before the GIL is
/// taken back, so a thread that holds the GIL never waits for one that waits for the GIL.
template <class Body>
decltype(auto) WithoutGil(Body&& body) {
  pybind11::gil_scoped_release release;
  std::shared_lock lock(TreeLock());
  return body();
}

/// Holds the tree lock alone for a change made with the GIL held; waits, when it must, without
/// the GIL.
class ExclusiveUse {
 public:
  ExclusiveUse() {
    if (TreeLock().try_lock()) return;
    pybind11::gil_scoped_release release;
    TreeLock().lock();
  }
  ~ExclusiveUse() { TreeLock().unlock(); }
  ExclusiveUse(const ExclusiveUse&) = delete;
  ExclusiveUse& operator=(const ExclusiveUse&) = delete;
};

}  // namespace quenlo::python
