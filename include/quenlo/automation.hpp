// Late binding: creating a container by its programmatic identifier and calling its members by
// name or dispatch id, as an Automation client does.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "quenlo/export.hpp"
#include "quenlo/object.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

/// How a late-bound call reaches a member, with CallByName's numbers. A plain call and a
/// property read are one and the same to every member (Automation clients send both).
enum VbCallType : std::uint8_t {
  vbMethod = 1,
  vbGet = 2,
  vbLet = 4,  // property put: stores a plain value (an object's default value)
  vbSet = 8,  // property put by reference: stores an object
};

/// A dispatch id: the number of a member of the _Tavrix interface.
using DispId = std::int32_t;

/// The dispatch id of the default member, Item.
inline constexpr DispId kDispIdValue = 0;

/// Creates an object from its programmatic identifier. "Quenlo.Tavrix" (in any case) gives a
/// new container; any other identifier raises 429.
QUENLO_EXPORT std::shared_ptr<Object> CreateObject(std::string_view ProgId);

/// The dispatch id of a _Tavrix member, whose name may be written in any case: Item is 0, the
/// others are 1 (Tag) to 40 (Import) in the order of the interface. Raises 438 for an unknown
/// name.
QUENLO_EXPORT DispId GetIdOfName(std::string_view name);

/// Calls the member `id` of `target`. For vbLet and vbSet the new value is the last argument.
/// An optional argument passed as Variant::Missing() or left off the end takes the member's
/// default. Errors: 91 when target is nothing; 438 for an object that is no container, an
/// unknown id, or a call type the member does not answer; 449 for a required argument that is
/// missing; 450 for too many arguments; 424 for vbSet with a value that is no object; 13 for
/// an argument of the wrong type. A container result is returned as an Object value.
QUENLO_EXPORT Variant Invoke(const std::shared_ptr<Object>& target, DispId id, VbCallType call_type,
                             std::span<const Variant> args = {});
QUENLO_EXPORT Variant Invoke(const std::shared_ptr<Object>& target, DispId id, VbCallType call_type,
                             std::initializer_list<Variant> args);

/// Calls a member by name: GetIdOfName, then Invoke.
QUENLO_EXPORT Variant CallByName(const std::shared_ptr<Object>& target, std::string_view name,
                                 VbCallType call_type, std::span<const Variant> args = {});
QUENLO_EXPORT Variant CallByName(const std::shared_ptr<Object>& target, std::string_view name,
                                 VbCallType call_type, std::initializer_list<Variant> args);

}  // namespace quenlo
