// Conversions, texts, type tests and comparison of Variant values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quenlo/export.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

// ---- Type information ----------------------------------------------------------------

/// The type code of a value (an array reports vbArray + vbVariant).
QUENLO_EXPORT int VarType(const Variant& value) noexcept;

/// "Empty", "Null", "Integer", "Long", "Single", "Double", "Currency", "Date", "String",
/// "Error", "Boolean", "Decimal", "Byte", "Variant()" for an array, "Nothing" for an
/// object reference to nothing, and the class name of an object ("Tavrix").
QUENLO_EXPORT std::string TypeName(const Variant& value);

/// True for the numeric types, Boolean, Empty, and a String that converts to a Double.
QUENLO_EXPORT bool IsNumeric(const Variant& value) noexcept;
/// True for a Date and for a String that converts to a Date.
QUENLO_EXPORT bool IsDate(const Variant& value) noexcept;
/// True only for arrays.
QUENLO_EXPORT bool IsArray(const Variant& value) noexcept;
/// True for an Object value, nothing included.
QUENLO_EXPORT bool IsObject(const Variant& value) noexcept;

// ---- Text of values --------------------------------------------------------------------

/// Appends the text that concatenation gives a value: "" for Empty and Null, numbers in
/// their shortest round-trip form, "True"/"False", dates in ISO 8601, an object's default
/// member. Raises 13 for an array and 438 for an object without a default member.
QUENLO_EXPORT void AppendText(std::string& out, const Variant& value);
/// The concatenation text of a value, as AppendText writes it.
QUENLO_EXPORT std::string ConcatText(const Variant& value);

/// Text conversion: as ConcatText, but Null raises Invalid use of Null (94).
QUENLO_EXPORT std::string CStr(const Variant& value);

/// Number of characters (code points) of a UTF-8 text; an invalid byte counts as one.
QUENLO_EXPORT std::int32_t CharacterCount(std::string_view text) noexcept;
/// The size in bytes of the first character of a UTF-8 text: 0 for an empty text, 1 for an
/// invalid byte, else the length of its code point's sequence.
QUENLO_EXPORT std::size_t FirstCharacterSize(std::string_view text) noexcept;

// ---- Conversions between types ------------------------------------------------------------
// Each raises Overflow (6) for a value out of range and Type mismatch (13) for a value that
// cannot be converted; Null raises Invalid use of Null (94). Integral targets round a
// fraction half to even.

QUENLO_EXPORT std::int16_t CInt(const Variant& value);
QUENLO_EXPORT std::int32_t CLng(const Variant& value);
QUENLO_EXPORT float CSng(const Variant& value);
QUENLO_EXPORT double CDbl(const Variant& value);
QUENLO_EXPORT Currency CCur(const Variant& value);
QUENLO_EXPORT Date CDate(const Variant& value);
QUENLO_EXPORT bool CBool(const Variant& value);
QUENLO_EXPORT std::uint8_t CByte(const Variant& value);
QUENLO_EXPORT Decimal CDec(const Variant& value);

// The same conversions straight from text, for readers that hold no Variant. Leading and
// trailing spaces are ignored.
QUENLO_EXPORT std::int16_t IntegerFromText(std::string_view text);
QUENLO_EXPORT std::int32_t LongFromText(std::string_view text);
QUENLO_EXPORT float SingleFromText(std::string_view text);
QUENLO_EXPORT double DoubleFromText(std::string_view text);
QUENLO_EXPORT Currency CurrencyFromText(std::string_view text);
QUENLO_EXPORT Date DateFromText(std::string_view text);
QUENLO_EXPORT bool BooleanFromText(std::string_view text);
QUENLO_EXPORT std::uint8_t ByteFromText(std::string_view text);
QUENLO_EXPORT Decimal DecimalFromText(std::string_view text);

// ---- Comparison ----------------------------------------------------------------------------
// The runtime's comparison of two values: numbers by value across types (Boolean True is
// -1, a Date by its serial, Empty as 0), Strings byte for byte, Empty equal to "" and 0, a
// number and a String unequal, a number less than any String. An object compared with a
// plain value is read through its default member. A Null operand gives no answer
// (std::nullopt). Arrays raise Type mismatch (13).

QUENLO_EXPORT std::optional<bool> CompareEqual(const Variant& a, const Variant& b);
QUENLO_EXPORT std::optional<bool> CompareLess(const Variant& a, const Variant& b);
QUENLO_EXPORT std::optional<bool> CompareLessEqual(const Variant& a, const Variant& b);

/// Reads an object value through its default member, repeatedly while the result is again an
/// object (at most 64 times). A value that is not an object is returned as it is. Raises 91
/// for nothing and 438 for an object without a default member.
QUENLO_EXPORT Variant DefaultValue(const Variant& value);

}  // namespace quenlo
