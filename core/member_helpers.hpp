// Free helpers that the members of Tavrix share across the folders they are defined in.
#pragma once

#include <cstdint>

#include "quenlo/variant.hpp"

namespace quenlo {

class CalloutGuard;
class Tavrix;

/// Raises one of the library's own errors (ErrSubscriptOutOfRange, ...) with source "Tavrix".
[[noreturn]] void Raise(std::int32_t number);

/// Whether a tag is kept for `container` beside it (its record's flag should say so).
bool TagKept(const Tavrix& container);

/// Raises ErrSubscriptOutOfRange when a bounded Array already holds Bound elements.
void RequireRoomInBoundedArray(const Tavrix& array);

/// Whether A = B holds; Null, arrays and failures compare unequal. Never raises.
bool ValuesEqual(const Variant& A, const Variant& B) noexcept;

/// ValuesEqual of an element of a container and Data, an object's default member read through
/// `guard`, which raises 10 when that read changed the container.
bool ElementEquals(const Variant& element, const Variant& Data, CalloutGuard& guard);

}  // namespace quenlo
