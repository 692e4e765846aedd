// Object: the base of everything a Variant holds by reference, and the identity registry.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "quenlo/export.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

/// The base class of every object a Variant can hold. Objects are always owned through
/// std::shared_ptr; callers may derive their own classes from it.
class QUENLO_EXPORT Object : public std::enable_shared_from_this<Object> {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();

  /// The class name that TypeName reports for this object.
  virtual std::string_view ClassName() const noexcept { return "Object"; }

  /// Whether the object has a default member through which it reads as a plain value.
  virtual bool HasDefaultMember() const noexcept { return false; }

  /// The value of the default member. The base class has none and raises error 438.
  virtual Variant DefaultMember() const;

 private:
  friend class IdentityRegistry;
  // The identity number given out for this object, 0 while none has been asked for.
  mutable std::atomic<std::int32_t> identity_{0};
};

/// Process-wide identity numbers for objects: a positive 32-bit number given to an object the
/// first time one is asked for, kept for the object's life, released when it dies, and never
/// given to two live objects at once. 0 stands for nothing. Thread-safe.
class QUENLO_EXPORT IdentityRegistry {
 public:
  /// The identity of an object (0 for a null pointer), assigned on first request.
  static std::int32_t IdentityOf(const Object* object);
  /// @copydoc IdentityOf(const Object*)
  static std::int32_t IdentityOf(const std::shared_ptr<Object>& object) { return IdentityOf(object.get()); }

  /// The live object an identity names: nullptr for 0; error 5 for any number that names no
  /// live object. A number is never trusted as a memory address.
  static std::shared_ptr<Object> Resolve(std::int32_t identity);

  /// The number of identities currently given out (for tests and diagnostics).
  static std::size_t LiveCount();

  /// True when exactly `count` references to the object of `owner` exist, `owner` included,
  /// and no other can be had any more: from then on the object's identity resolves to nothing.
  /// A container releasing what it holds claims a dying element's last reference before it
  /// takes the element apart, so that no thread resolving the element's identity at that
  /// moment gets it half released; cycle collection claims the containers it empties.
  static bool ClaimReferences(const std::shared_ptr<Object>& owner, long count = 1) noexcept;

 private:
  friend class Object;
  static void Release(std::int32_t identity) noexcept;
};

}  // namespace quenlo
