// Typed reads of a Variant: v.get<int>(), v.As<std::string>(), v.TryGet<double>().
// Included by variant.hpp; the conversions follow the runtime's rules (quenlo/conversion.hpp).
#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "quenlo/error.hpp"
#include "quenlo/export.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

// The conversions of quenlo/conversion.hpp that typed reads use, declared here so that
// variant.hpp needs no other header.
QUENLO_EXPORT std::int16_t CInt(const Variant& value);
QUENLO_EXPORT std::int32_t CLng(const Variant& value);
QUENLO_EXPORT float CSng(const Variant& value);
QUENLO_EXPORT double CDbl(const Variant& value);
QUENLO_EXPORT Currency CCur(const Variant& value);
QUENLO_EXPORT Date CDate(const Variant& value);
QUENLO_EXPORT bool CBool(const Variant& value);
QUENLO_EXPORT std::uint8_t CByte(const Variant& value);
QUENLO_EXPORT Decimal CDec(const Variant& value);
QUENLO_EXPORT std::string CStr(const Variant& value);

namespace typed_access {

/// A whole number of 64 bits, rounded half to even as CLng rounds; Overflow (6) out of
/// range. The unsigned form covers 0 to 2^63 - 1.
QUENLO_EXPORT std::int64_t Int64Of(const Variant& value);
QUENLO_EXPORT std::uint64_t UInt64Of(const Variant& value);

template <class T>
struct IsSharedPtr : std::false_type {};
template <class T>
struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};

template <class T>
inline constexpr bool kUnsupported = false;

template <class Target, class Source>
Target Narrow(Source value) {
  if (!std::in_range<Target>(value)) RaiseRuntimeError(err::kOverflow);
  return static_cast<Target>(value);
}

// An object of class T, or nothing for Nothing; Type mismatch (13) for anything else.
template <class T>
std::shared_ptr<T> ObjectOf(const Variant& value) {
  if (value.IsNothing()) return nullptr;
  std::shared_ptr<T> object = value.ObjectAs<T>();
  if (!object) RaiseRuntimeError(err::kTypeMismatch);
  return object;
}

}  // namespace typed_access

template <class T>
T Variant::get() const {
  using typed_access::Narrow;
  if constexpr (std::same_as<T, Variant>) {
    return *this;
  } else if constexpr (std::same_as<T, bool>) {
    return CBool(*this);
  } else if constexpr (std::same_as<T, std::string>) {
    return CStr(*this);
  } else if constexpr (std::same_as<T, double> || std::same_as<T, long double>) {
    return CDbl(*this);
  } else if constexpr (std::same_as<T, float>) {
    return CSng(*this);
  } else if constexpr (std::same_as<T, std::int16_t>) {
    return CInt(*this);
  } else if constexpr (std::same_as<T, std::int32_t>) {
    return CLng(*this);
  } else if constexpr (std::same_as<T, std::uint8_t>) {
    return CByte(*this);
  } else if constexpr (std::same_as<T, char>) {
    static_assert(typed_access::kUnsupported<T>, "char is ambiguous: read a std::string or a number type");
  } else if constexpr (std::signed_integral<T>) {
    return Narrow<T>(typed_access::Int64Of(*this));
  } else if constexpr (std::unsigned_integral<T>) {
    return Narrow<T>(typed_access::UInt64Of(*this));
  } else if constexpr (std::same_as<T, Currency>) {
    return CCur(*this);
  } else if constexpr (std::same_as<T, Date>) {
    return CDate(*this);
  } else if constexpr (std::same_as<T, Decimal>) {
    return CDec(*this);
  } else if constexpr (typed_access::IsSharedPtr<T>::value) {
    return typed_access::ObjectOf<typename T::element_type>(*this);
  } else {
    static_assert(typed_access::kUnsupported<T>, "no conversion of a Variant to this type");
  }
}

template <class T>
std::optional<T> Variant::TryGet() const noexcept {
  if (IsEmpty() || IsNull() || IsNothing()) return std::nullopt;
  try {
    return get<T>();
  } catch (...) {
    return std::nullopt;
  }
}

}  // namespace quenlo
