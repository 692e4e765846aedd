// The cycle collector: keeps a list of every live container and finds the cycles of containers
// that nothing outside the containers reaches any more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quenlo {

class Object;
class Tavrix;

class CycleCollector {
 public:
  /// Adds a new container to the list of live containers.
  static void Track(Tavrix& container) noexcept;
  /// Takes a dying container off the list; does nothing for one never added.
  static void Untrack(Tavrix& container) noexcept;
  /// Releases the unreachable cycles; returns how many containers were released. Raises 10,
  /// releasing nothing, when it finds that another thread changed or took up a container
  /// meanwhile.
  static std::size_t Collect();

 private:
  // An unreachable container, and the references to it that the collection counted: its own
  // and those of other unreachable containers' elements.
  struct Unreachable {
    Tavrix* container;
    std::shared_ptr<Object> owner;  // as the registry counts references
    long references;
  };
  // Moves the containers that nothing outside the containers reaches from `owners`, which
  // receives an owning reference to every live container, into the result.
  static std::vector<Unreachable> FindUnreachable(std::vector<std::shared_ptr<Tavrix>>& owners);
  [[noreturn]] static void RaiseChangedMeanwhile();
  // Calls `visit` with every container that an element or key of `container` holds.
  template <class Visit>
  static void ForEachChild(const Tavrix& container, const Visit& visit);
};

}  // namespace quenlo
