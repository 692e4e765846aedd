// Variant: the tagged value every element, key and argument of the library is.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/export.hpp"

namespace quenlo {

class Object;

/// Type codes, as VarType reports them. An array of Variants reports vbArray + vbVariant.
enum VbVarType : std::uint16_t {
  vbEmpty = 0,
  vbNull = 1,
  vbInteger = 2,
  vbLong = 3,
  vbSingle = 4,
  vbDouble = 5,
  vbCurrency = 6,
  vbDate = 7,
  vbString = 8,
  vbObject = 9,
  vbError = 10,
  vbBoolean = 11,
  vbVariant = 12,
  vbDecimal = 14,
  vbByte = 17,
  vbArray = 8192,
};

/// The error code an omitted optional argument holds (DISP_E_PARAMNOTFOUND).
inline constexpr std::int32_t kMissingErrorCode = static_cast<std::int32_t>(0x80020004u);

/// A 64-bit fixed-point amount with four decimals: the value times 10,000.
struct Currency {
  std::int64_t scaled = 0;  ///< The amount times 10,000: 12.5 is 125000.

  /// The amount whose value times 10,000 is `scaled_value`.
  static constexpr Currency FromScaled(std::int64_t scaled_value) noexcept { return Currency{scaled_value}; }
  /// Representation equality.
  friend constexpr bool operator==(Currency, Currency) noexcept = default;
};

/// A point in time as days since 1899-12-30; the fraction is the time of day.
struct Date {
  double serial = 0.0;  ///< Days since 1899-12-30; before it the fraction still counts forward.

  /// Representation equality.
  friend constexpr bool operator==(Date, Date) noexcept = default;
};

/// A 96-bit unsigned integer with a power-of-ten scale (0..28) and a sign.
/// Its value is (-1)^negative * (hi * 2^64 + lo) / 10^scale.
struct Decimal {
  std::uint64_t lo = 0;    ///< The low 64 bits of the integer.
  std::uint32_t hi = 0;    ///< The high 32 bits of the integer.
  std::uint8_t scale = 0;  ///< The power of ten the integer is divided by, 0..28.
  bool negative = false;   ///< The sign.

  /// Representation equality; numeric comparison is CompareEqual.
  friend constexpr bool operator==(const Decimal&, const Decimal&) noexcept = default;
};

/// A tagged value: Empty, Null, the numeric types, Date, String, Object, Error, Boolean,
/// Decimal, Byte, or an array of Variants. Copying a Variant never copies the object it
/// refers to. Strings are UTF-8.
class QUENLO_EXPORT Variant {
 public:
  Variant() noexcept : type_(vbEmpty) {}  ///< Empty
  /// Copying copies the value, never the object it refers to; moving leaves `other` Empty.
  /// @{
  Variant(const Variant& other) : type_(vbEmpty) {
    if (other.type_ == vbObject || other.IsArray() || other.HasHeapString()) {
      CopyFrom(other);
    } else {
      CopyBytes(other);
    }
  }
  Variant(Variant&& other) noexcept : type_(vbEmpty) { MoveFrom(other); }
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept {
    if (this == &other) return *this;
    if (OwnsResource()) {
      // `other` may live inside what this Variant releases: take it out first.
      Variant taken(std::move(other));
      Release();
      MoveFrom(taken);
    } else {
      MoveFrom(other);
    }
    return *this;
  }
  /// @}
  ~Variant() {
    if (OwnsResource()) Release();
  }

  /// Implicit construction from C++ values. Integral values follow the rule for numeric
  /// literals: Integer when the value fits 16 bits, else Long when it fits 32 bits, else
  /// Double.
  /// @{
  Variant(short value) noexcept;
  Variant(int value) noexcept;
  Variant(long value) noexcept;
  Variant(long long value) noexcept;
  Variant(unsigned value) noexcept;
  Variant(unsigned long value) noexcept;
  Variant(unsigned long long value) noexcept;
  Variant(unsigned char value) noexcept;  ///< Byte
  Variant(char) = delete;                 // ambiguous: a character or a number?
  Variant(float value) noexcept;          ///< Single
  Variant(double value) noexcept;         ///< Double
  Variant(bool value) noexcept;           ///< Boolean
  Variant(std::nullptr_t) noexcept;       ///< Null
  Variant(const char* value);             ///< String; Null for a null pointer
  Variant(std::string_view value);        ///< String
  Variant(const std::string& value);      ///< String
  Variant(Currency value) noexcept;
  Variant(Date value) noexcept;
  Variant(const Decimal& value) noexcept;
  Variant(std::shared_ptr<Object> object) noexcept;  ///< Object; a null pointer is nothing
  /// Object, from a pointer to a class derived from Object.
  template <class T>
  requires std::derived_from<T, Object> &&
      (!std::same_as<T, Object>)Variant(std::shared_ptr<T> object) noexcept
      : Variant(std::shared_ptr<Object>(std::move(object))) {}
  /// @}

  /// Named constructors, for the types a C++ value does not name by itself.
  /// @{
  static Variant Null() noexcept;
  static Variant Missing() noexcept;  ///< An omitted optional argument: Error 0x80020004
  static Variant Nothing() noexcept;  ///< An object reference that refers to nothing
  static Variant Error(std::int32_t code) noexcept;
  static Variant Integer(std::int16_t value) noexcept;
  static Variant Long(std::int32_t value) noexcept;
  static Variant Single(float value) noexcept;
  static Variant Double(double value) noexcept;
  static Variant Boolean(bool value) noexcept;
  static Variant Byte(std::uint8_t value) noexcept;
  static Variant String(std::string_view value);
  /// @}
  /// vbArray + vbVariant. Arrays nest at most kDeepestArray levels; deeper ones raise 28.
  static Variant Array(std::vector<Variant> elements);
  static constexpr std::uint32_t kDeepestArray = 1024;  ///< The deepest nesting of arrays.

  /// The type code; arrays report vbArray + vbVariant (8204).
  int Type() const noexcept { return type_; }
  /// Tests of the type code.
  /// @{
  bool IsEmpty() const noexcept { return type_ == vbEmpty; }
  bool IsNull() const noexcept { return type_ == vbNull; }
  bool IsString() const noexcept { return type_ == vbString; }
  bool IsObject() const noexcept { return type_ == vbObject; }
  bool IsArray() const noexcept { return (type_ & vbArray) != 0; }
  bool IsMissing() const noexcept;  ///< An omitted optional argument (Variant::Missing()).
  /// @}
  /// An Object value that refers to nothing.
  bool IsNothing() const noexcept;

  /// Typed reads without conversion. Each raises Type mismatch (13) when the Variant holds
  /// another type (AsErrorCode: an Error value, AsArray: an array).
  /// @{
  std::int16_t AsInteger() const;
  std::int32_t AsLong() const;
  float AsSingle() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  Date AsDate() const;
  std::string_view AsString() const;
  bool AsBoolean() const;
  std::uint8_t AsByte() const;
  Decimal AsDecimal() const;
  std::int32_t AsErrorCode() const;
  const std::shared_ptr<Object>& AsObject() const;
  const std::vector<Variant>& AsArray() const;
  /// @}

  /// The object as T, or null when this is not an object of that class.
  template <class T>
  std::shared_ptr<T> ObjectAs() const {
    return IsObject() ? std::dynamic_pointer_cast<T>(AsObject()) : nullptr;
  }

  /// Typed reads with the runtime's conversions, defined in quenlo/typed_access.hpp:
  /// get<int>() converts as CLng does, get<std::string>() as CStr, get<TavrixPtr>() gives the
  /// container held (null for Nothing); each raises what that conversion raises. As() is
  /// get(). TryGet gives nothing for Empty, Null, Nothing and a value the conversion refuses,
  /// and never raises.
  /// @{
  template <class T>
  T get() const;
  template <class T>
  T As() const {
    return get<T>();
  }
  template <class T>
  std::optional<T> TryGet() const noexcept;
  /// @}

  /// The runtime's comparison: numbers by value across types (Integer 5 equals Long 5 and
  /// 5.0), Strings byte for byte, a number never equal to a String, Empty equal to 0 and "",
  /// objects only to themselves. Never raises: Null, arrays and an object whose default
  /// member cannot be read compare unequal to everything. Identical() is the strict test.
  friend QUENLO_EXPORT bool operator==(const Variant& a, const Variant& b) noexcept;
  friend QUENLO_EXPORT bool Identical(const Variant& a, const Variant& b) noexcept;

 private:
  // Strings, objects and arrays hold something that Release() frees.
  bool OwnsResource() const noexcept {
    return type_ == vbString || type_ == vbObject || (type_ & vbArray) != 0;
  }
  void Release() noexcept;
  void CopyFrom(const Variant& other);
  // Expects this Variant to hold nothing that needs releasing; leaves `other` Empty. Heap
  // strings and arrays change owner with their pointer; a shared_ptr is moved as one.
  void MoveFrom(Variant& other) noexcept {
    if (other.type_ == vbObject) {
      new (&value_.object) std::shared_ptr<Object>(std::move(other.value_.object));
      other.value_.object.~shared_ptr();
    } else {
      std::memcpy(static_cast<void*>(&value_), static_cast<const void*>(&other.value_), sizeof(Payload));
    }
    type_ = other.type_;
    inline_length_ = other.inline_length_;
    other.type_ = vbEmpty;
    other.inline_length_ = 0;
  }
  // The whole of a Variant that owns nothing beyond its own bytes.
  void CopyBytes(const Variant& other) noexcept {
    std::memcpy(static_cast<void*>(&value_), static_cast<const void*>(&other.value_), sizeof(Payload));
    type_ = other.type_;
    inline_length_ = other.inline_length_;
  }
  void AssignString(std::string_view text);
  bool HasHeapString() const noexcept { return type_ == vbString && inline_length_ == kHeapStringMark; }

  // Layout: the type code, then an 8-byte-aligned 16-byte payload. A String up to
  // kInlineStringCapacity bytes is stored inline (its length in inline_length_), a longer
  // one in a heap block owned by this Variant (inline_length_ then holds kHeapStringMark).
  // An Object holds a shared_ptr; a Decimal is stored inline; an array is a heap vector
  // owned by this Variant, with the number of array levels it nests.
  static constexpr std::size_t kInlineStringCapacity = 16;
  static constexpr std::uint8_t kHeapStringMark = 0xFF;
  struct HeapString {
    char* data;
    std::size_t size;
  };
  struct ArrayBlock {
    std::vector<Variant>* elements;
    std::uint32_t depth;  // 1 for an array that holds no array
  };

  std::uint16_t type_;
  std::uint8_t inline_length_ = 0;
  union Payload {
    Payload() noexcept : i64(0) {}
    ~Payload() {}
    std::int16_t i16;
    std::int32_t i32;
    std::int64_t i64;
    float f32;
    double f64;
    bool boolean;
    std::uint8_t byte;
    Decimal decimal;
    char inline_chars[kInlineStringCapacity];
    HeapString heap_string;
    std::shared_ptr<Object> object;
    ArrayBlock array;
  } value_;
};

static_assert(sizeof(Variant) == 24, "a Variant is a type code and a 16-byte payload");

/// The same type and the same value: objects the same object, arrays element by element,
/// Decimals by value whatever their scale, Null identical to Null.
QUENLO_EXPORT bool Identical(const Variant& a, const Variant& b) noexcept;

/// Prints the text of a value (ConcatText): "8080", "True", "" for Empty and Null. An array
/// prints its elements between braces, a container its object string, and a value that has
/// no text (an object without a default member, Nothing) its type name between angle
/// brackets. Never raises.
QUENLO_EXPORT std::ostream& operator<<(std::ostream& out, const Variant& value);

/// The type name and the text of a value ("Long 8080", "String \"ab\""), for diagnostics.
QUENLO_EXPORT std::string Describe(const Variant& value);
/// Test frameworks that look for PrintTo (GoogleTest) show a Variant as Describe does.
QUENLO_EXPORT void PrintTo(const Variant& value, std::ostream* out);

}  // namespace quenlo

#include "quenlo/typed_access.hpp"
