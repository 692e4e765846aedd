// Members that run a caller's code (the default member of a caller's object, read by a
// comparison or for an object's text) guard the container they work on: it stays alive until
// the member returns, and a change made by that code stops the member with error 10.
#pragma once

#include <cstdint>
#include <memory>

#include "core/access.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {

class CalloutGuard {
 public:
  /// Notes the state of `container`; nothing is paid until a read calls out.
  explicit CalloutGuard(const Tavrix& container) noexcept
      : container_(container), generation_(detail::access::generation(container)) {}

  /// Runs `read`, which may call a caller's code, while the container is kept alive, and
  /// raises 10 when the container changed meanwhile. Whatever `read` works on must be held by
  /// `read` itself (a copy of an element, not a reference into the container).
  template <class Read>
  auto Run(const Read& read) {
    if (!keep_alive_) keep_alive_ = container_.shared_from_this();
    auto result = read();
    RequireUnchanged();
    return result;
  }

  /// Calls `body` with the plain value `value` names: itself, or for an object the value its
  /// default member reads, read through Run.
  template <class Body>
  auto WithPlain(const Variant& value, const Body& body) {
    if (!value.IsObject()) return body(value);
    const Variant plain = Run([&value] { return DefaultValue(value); });
    return body(plain);
  }

  /// Raises 10 when the container changed since the guard was made.
  void RequireUnchanged() const {
    if (detail::access::generation(container_) != generation_) {
      RaiseRuntimeError(err::kArrayLocked, "the container was changed by the default member of an object");
    }
  }

 private:
  const Tavrix& container_;
  const std::uint32_t generation_;
  std::shared_ptr<const Object> keep_alive_;
};

}  // namespace quenlo
