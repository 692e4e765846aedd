// Tavrix: the dynamic container. One class; its members are defined in the folder of the
// subsystem they belong to: core/ (kinds, copying, element access, predicates), sequence/
// (adding, removing, stack, queue, search), serial/ (object string, files), dump/ (listing).
#pragma once

#include <atomic>
#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/collection.hpp"
#include "quenlo/error.hpp"
#include "quenlo/export.hpp"
#include "quenlo/object.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

/// The kind of a container: its shape, chosen and changed at run time.
enum TavrixKind : std::int32_t {
  KindMap = 0,
  KindBoundedArray = 1,
  KindUnboundedArray = 2,
  KindVariant = 3,
  KindNil = 4,
  KindSet = 5,
  KindStack = 6,
  KindQueue = 7,
};

/// The library's own error numbers (source "Tavrix").
inline constexpr std::int32_t ErrSubscriptOutOfRange = -2147206504;  // object-error base + 15000
inline constexpr std::int32_t ErrDuplicateValue = -2147206503;       // object-error base + 15001
inline constexpr std::int32_t ErrInvalidOperation = 15011;

class Tavrix;
namespace detail {
class access;

/// A container's kind in one byte, so that it fits in the room its values leave at their end.
class KindByte {
 public:
  /// Made from a kind and read as one, so that it stands where a TavrixKind is written.
  /// @{
  constexpr KindByte(TavrixKind kind) noexcept : kind_(static_cast<std::uint8_t>(kind)) {}
  constexpr operator TavrixKind() const noexcept { return static_cast<TavrixKind>(kind_); }
  /// @}

 private:
  std::uint8_t kind_;
};
}  // namespace detail
using TavrixPtr = std::shared_ptr<Tavrix>;

/// A dynamic data container: a Map, a bounded or unbounded Array, a single Variant value, Nil,
/// a Set, a Stack or a Queue of Variant values, which may themselves be containers. Always
/// created with Create() and handled through std::shared_ptr. Every member reports failure by
/// throwing quenlo::Error; a failed call changes nothing.
class QUENLO_EXPORT Tavrix final : public Object {
  struct PrivateTag {};

 public:
  /// A new container: kind Variant, holding no value.
  static TavrixPtr Create();
  /// For Create() alone (std::make_shared needs a public constructor).
  explicit Tavrix(PrivateTag) noexcept;
  ~Tavrix() override;

  // ---- Kinds, copying, version and tag (core/) --------------------------------------

  /// A free text the caller may attach; the object string, Clone and Become leave it out.
  /// Setting it may raise 7 (out of memory). The text read stays valid until the tag is set
  /// again or the container goes.
  /// @{
  const std::string& Tag() const noexcept;
  void Tag(std::string value);
  /// @}

  /// A new container that is a one-level copy of this one.
  TavrixPtr Clone() const;
  /// Makes this container a one-level copy of Data (Kind, Bound and elements; not Tag).
  /// Returns Empty. Raises 91 when Data is nothing.
  Variant Become(const TavrixPtr& Data);

  /// An empty Map, its keys unique and kept in the order they came.
  void SetMap();
  /// A container of a single value, Empty until one is stored at position 1.
  void SetVariant();
  /// An array of at most UpperBound elements, or without limit for a negative UpperBound.
  void SetArray(const Variant& UpperBound = -1);
  /// A Set holding the given members, in order.
  void SetSet(std::span<const Variant> Members);
  // clang-format 14 cannot lay out a requires clause.
  // clang-format off
  /// A Set holding the given members, in order: t->SetSet(1, "two", 3.0).
  template <class... Members>
    requires(std::constructible_from<Variant, Members> && ...)
  void SetSet(Members&&... members) {
    // clang-format on
    const Variant list[] = {Variant(), Variant(std::forward<Members>(members))...};
    SetSet(std::span<const Variant>(list).subspan(1));
  }
  /// An empty Stack: Pop takes the element pushed last.
  void SetStack();
  /// An empty Queue: Pop takes the element pushed first.
  void SetQueue();
  /// Nil: no storage and no elements.
  void SetNil();

  /// The library's version, QUENLO_VERSION_STRING of quenlo/version.hpp.
  static std::string Version();

  /// The container's kind (read-only).
  TavrixKind Kind() const noexcept { return kind_; }
  /// The bound of a bounded Array, the UpperBound of an unbounded one, a Set's member count.
  std::int32_t Bound() const noexcept { return bound_; }

  // ---- Element access (core/) ---------------------------------------------------------

  class ConstIterator;  // quenlo/iteration.hpp
  class ItemsView;

  /// The element a position or key names (default: position 1).
  Variant Item(const Variant& index = 1) const;
  /// Stores `value` at `index` (let, or set for an object value).
  void Item(const Variant& index, Variant value);

  /// A reference to an element for reading and storing: (*t)["a"] = 5; Variant v = (*t)["a"];
  /// It holds its container, so it stays valid however long it is kept. An element that holds
  /// a container is indexed in turn: (*t)["a"]["b"][1]. Every error it raises names the path
  /// that failed in Context(), as `["a"]["b"]`.
  class QUENLO_EXPORT ItemRef {
   public:
    /// A second reference to the same element.
    ItemRef(const ItemRef&) = default;
    /// Stores into the element; assigning one reference to another stores the value it reads.
    /// @{
    ItemRef& operator=(Variant value);
    ItemRef& operator=(const ItemRef& other) { return *this = other.Get(); }
    /// @}
    ~ItemRef() = default;

    /// The element's value, as Item reads it.
    /// @{
    operator Variant() const { return Get(); }
    Variant Get() const;
    /// @}
    /// The element of the container this element holds: 91 for Nothing, 424 for a value that
    /// is not a container.
    ItemRef operator[](Variant index) const;
    /// Iteration over the container this element holds, raising as operator[] does.
    /// @{
    ConstIterator begin() const;
    ConstIterator end() const;
    ItemsView Items() const;
    /// @}

    /// The element's value converted as Variant::get<T>() converts, raising what it raises.
    /// @{
    template <class T>
    T get() const {
      return Get().template get<T>();
    }
    template <class T>
    T As() const {
      return get<T>();
    }
    /// @}
    /// Nothing also when the element is not there.
    template <class T>
    std::optional<T> TryGet() const noexcept {
      try {
        return Get().template TryGet<T>();
      } catch (...) {
        return std::nullopt;
      }
    }
    /// The path of this element from the container it was first taken from: `["a"][2]`.
    std::string Path() const;

    /// Whether the element's value equals b as Variant's == compares; false when it cannot be read.
    friend bool operator==(const ItemRef& a, const Variant& b) noexcept;

   private:
    friend class Tavrix;
    ItemRef(TavrixPtr owner, Variant index, std::string parent_path) noexcept
        : owner_(std::move(owner)), index_(std::move(index)), parent_path_(std::move(parent_path)) {}
    [[noreturn]] void RaiseWithPath(const Error& error) const;
    // The container this element holds: 91 for Nothing, 424 for a value that is not one.
    TavrixPtr Container() const;

    TavrixPtr owner_;
    Variant index_;
    std::string parent_path_;  // the steps that led to owner_; empty for the first
  };
  /// The element at a position or key: a reference on a mutable container, its value (as
  /// Item reads it) on a const one.
  /// @{
  ItemRef operator[](Variant index);
  Variant operator[](const Variant& index) const { return Item(index); }
  /// @}

  // ---- Iteration (quenlo/iteration.hpp) -------------------------------------------------

  /// The elements in order, as Variants: a Map's values, an Array's or a Set's elements, a
  /// Stack or a Queue from the next to leave to the last (the order of the object string),
  /// the value of a Variant-kind container (none before one is stored), nothing for Nil.
  /// @{
  ConstIterator begin() const;
  ConstIterator end() const;
  /// @}
  /// A Map's key and value pairs in order; raises ErrInvalidOperation for another kind.
  ItemsView Items() const;

  /// The element count; for a Variant-kind container the length of its value's text.
  std::int32_t Length() const;
  /// Whether Data is a key or position (Map) or a stored value (sequences). Never raises.
  bool Exists(const Variant& Data) const noexcept;
  /// The keys of a Map as a new unbounded Array.
  TavrixPtr GetKeys() const;

  // ---- Type predicates (core/) ---------------------------------------------------------

  /// The runtime's IsNumeric, IsArray, ... of the element stored under the text of `index` as
  /// a key. A key that is not there raises 5, a Nil container 91, an index without text 94 or
  /// 13.
  /// @{
  bool IsNumeric(const Variant& index = 1) const;
  bool IsArray(const Variant& index = 1) const;
  bool IsObject(const Variant& index = 1) const;
  bool IsDate(const Variant& index = 1) const;
  bool IsLong(const Variant& index = 1) const;
  bool IsBoolean(const Variant& index = 1) const;
  bool IsCurrency(const Variant& index = 1) const;
  bool IsInteger(const Variant& index = 1) const;
  bool IsString(const Variant& index = 1) const;
  bool IsDouble(const Variant& index = 1) const;
  bool IsSingle(const Variant& index = 1) const;
  bool IsNull(const Variant& index = 1) const;
  bool IsEmpty(const Variant& index = 1) const;
  /// @}

  // ---- Sequence operations (sequence/) --------------------------------------------------

  /// Appends Data (a Map: adds the key Data with a Null value). Returns Empty.
  Variant AddLast(const Variant& Data);
  /// Prepends Data (a Map: adds the key Data first, with a Null value). Returns Empty.
  Variant AddFirst(const Variant& Data);
  /// Places Data before the element `index` names (arrays only).
  void Insert(const Variant& index, const Variant& Data);
  /// Removes the element `index` names (default: the first). Returns Empty.
  Variant Remove(const Variant& index = 1);
  /// Removes every element of a Map or an array.
  void RemoveAll();
  /// Adds Data on top of a Stack or at the end of a Queue.
  void Push(const Variant& Data);
  /// Takes the next element out of a Stack or a Queue.
  Variant Pop();
  /// The position of the first key (Map) or value equal to Data at or after Start, or -1.
  std::int32_t Find(const Variant& Data, const Variant& Start = 1) const;

  // ---- Object string and files (serial/) -----------------------------------------------

  /// The object string of this container and everything nested in it.
  std::string GetObjectString() const;
  /// Replaces this container's contents with the tree `str` describes; Tag is kept.
  void SetObjectString(std::string_view str);
  /// Writes the object string to a Windows-1252 file.
  void Export(const std::string& Filename) const;
  /// Reads a Windows-1252 file holding an object string into this container.
  void Import(const std::string& Filename);

  // ---- Diagnostic dump (dump/) -----------------------------------------------------------

  /// An indented listing of this container and everything nested in it.
  std::string DebugPrint() const;

  // ---- Cycles and consistency (core/) ---------------------------------------------------

  /// Releases the containers that hold one another in a cycle but that no caller can reach any
  /// more, and returns how many were released. Containers are counted references, so such a
  /// cycle would otherwise live until the process ends. A container counts as reachable while
  /// anything other than a container's elements holds a reference to it: a TavrixPtr, a Variant
  /// outside a container, or an object of another class. Call it at a quiet moment, when no
  /// other thread is using containers, for example after dropping a tree that may hold itself.
  /// A collection that finds a container changed by another thread while it counted, or an
  /// unreachable one taken up meanwhile, releases nothing and raises 10; no thread can take up
  /// a container the collection empties (its identity then resolves to nothing).
  static std::size_t CollectCycles();

  /// Tells whether this container's object string reads back equal: returns an empty text when
  /// it does, else the path of the first key or value whose text the reader would split or cut
  /// short, and why ("{items}[3]{name}: the text holds \",\" (character 6), which would split
  /// it"). Export refuses such a tree. Within the format's rules "equal" allows what the text
  /// does not keep: Empty and Null come back as empty Strings, keys as Strings, a bounded Array
  /// as an unbounded one, a nested Variant or Nil container as the String of its text, an object
  /// reference only within this process.
  std::string FindUnreadableValue() const;

  /// Checks the internal consistency of this container and of every container reachable from
  /// it: storage present for every kind but Nil, a Map's Keys and Values parallel and keyed
  /// alike, a bounded Array within its Bound. Returns an empty text
  /// when every rule holds, else a description of the first rule broken. For diagnosis.
  std::string FindInconsistency() const;

  // ---- Object -------------------------------------------------------------------------

  std::string_view ClassName() const noexcept override { return "Tavrix"; }
  bool HasDefaultMember() const noexcept override { return true; }
  /// The default member: Item at position 1.
  Variant DefaultMember() const override { return Item(); }

 private:
  // The library's own code reaches the container record through this one door (an internal
  // header); the helpers below are the members' own.
  friend class detail::access;

  // ---- core/ ------------------------------------------------------------------------------
  void RequireKind(bool served) const;
  bool IsArrayKind() const noexcept { return kind_ == KindBoundedArray || kind_ == KindUnboundedArray; }

  bool ValueExists(const Variant& index) const noexcept;
  // The stores take the index as given and the plain value it names (an object's default member).
  void StoreValue(const Variant& index, const Variant& named, Variant value);
  void StoreArrayValue(const Variant& index, Variant value);
  void StoreMapValue(const Variant& key, const Variant& named, Variant value);
  void StoreVariantValue(const Variant& index, Variant value);
  // Adds the key Data with a Null value, first or last.
  void AddMapKey(const Variant& Data, bool first);

  // The position `index` names in Values, or nothing when reading it would fail.
  std::optional<std::int32_t> PositionIfExists(const Variant& index) const noexcept;
  // Puts new storage in place, then lets the former collections go, so that this container
  // is consistent while its former elements are released.
  void ReplaceStorage(Collection values, std::unique_ptr<Collection> keys) noexcept;
  // The key of the Map entry at `position` as it was given.
  Variant MapKeyAt(std::int32_t position) const;
  // Makes a Map keep its keys as given: done once a key that is not a String arrives.
  void KeepGivenKeys();
  // Adds a Map entry at `position` of both collections, under the key's text; on a failure
  // neither collection is changed.
  void InsertMapEntry(std::int32_t position, const Variant& key, const Variant& named, Variant value);

  // Counts every change of kind, bound or elements, so that a member that ran a caller's code
  // (an object's default member) can tell whether that code changed this container. Only the
  // thread changing the container writes it, so a plain load and store suffice.
  void NoteChange() noexcept {
    generation_.store(generation_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }

  // ---- The container record -------------------------------------------------------------
  // First, so that it fills the padding at the end of Object.
  std::atomic<std::uint32_t> generation_{0};
  // Empty for Nil. Kind, the tag's flag and bound take the padding at the end of the collection.
  [[no_unique_address]] Collection values_;
  detail::KindByte kind_ = KindVariant;
  bool tagged_ = false;  // the tag, when there is one, is kept beside the container (core/tavrix.cpp)
  std::int32_t bound_ = 0;
  // A Map's keys as given, parallel to values_, once one of them is not a String; until then
  // each key is the String its value is stored under in values_.
  std::unique_ptr<Collection> keys_;
  // Neighbours in the list of live containers, their addresses inverted; 0 at either end and
  // for a container not in the list.
  std::uintptr_t newer_ = 0;
  std::uintptr_t older_ = 0;
};

}  // namespace quenlo

#include "quenlo/iteration.hpp"
#include "quenlo/printing.hpp"
