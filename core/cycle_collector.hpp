// The cycle collector: keeps a list of every live container and finds the cycles of containers
// that nothing outside the containers reaches any more.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace quenlo {

class Tavrix;

class CycleCollector {
 public:
  /// Adds a new container to the list of live containers.
  static void Track(Tavrix& container) noexcept;
  /// Takes a dying container off the list; does nothing for one never added.
  static void Untrack(Tavrix& container) noexcept;
  /// Releases the unreachable cycles; returns how many containers were released.
  static std::size_t Collect();

 private:
  // Moves the containers that nothing outside the containers reaches from `owners`, which
  // receives an owning reference to every live container, into the result.
  static std::vector<std::shared_ptr<Tavrix>> FindUnreachable(std::vector<std::shared_ptr<Tavrix>>& owners);
  // Calls `visit` with every container that an element or key of `container` holds.
  template <class Visit>
  static void ForEachChild(const Tavrix& container, const Visit& visit);
};

}  // namespace quenlo
