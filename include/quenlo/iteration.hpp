// Iteration over a container: for (const Variant& value : *t) and, for a Map,
// for (const auto& [key, value] : t->Items()). Included by tavrix.hpp.
//
// An iterator holds its container, and reads each element at its position when it is
// dereferenced into a copy that it keeps until the next read, so that `auto&` binds as it
// does over a standard container, and what it binds stays valid whatever the loop's body does
// to the container. Storing into an element during a loop is allowed and the loop sees the
// stored value. A change of the container's kind or of its number of elements during a
// loop raises runtime error 10 "This array is fixed or temporarily locked" at the next step,
// with the position in Context(): an iterator never reads storage that has gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// An input iterator over a container's elements, as Tavrix::begin() gives them. It holds its
/// container; reading or advancing it raises 10 once the container's kind or element count
/// changed since the iteration began.
class QUENLO_EXPORT Tavrix::ConstIterator {
 public:
  /// The standard iterator types.
  /// @{
  using iterator_category = std::input_iterator_tag;
  using value_type = Variant;
  using difference_type = std::ptrdiff_t;
  using reference = const Variant&;
  using pointer = void;
  /// @}

  ConstIterator() = default;

  /// The element; valid until the iterator is advanced.
  const Variant& operator*() const;
  /// Moves to the next element.
  /// @{
  ConstIterator& operator++();
  ConstIterator operator++(int) {
    ConstIterator before = *this;
    ++*this;
    return before;
  }
  /// @}
  /// Whether both stand at the same position.
  friend bool operator==(const ConstIterator& a, const ConstIterator& b) noexcept {
    return a.position_ == b.position_;
  }

 private:
  friend class Tavrix;
  ConstIterator(std::shared_ptr<const Tavrix> owner, std::int32_t position, std::int32_t count) noexcept
      : owner_(std::move(owner)),
        position_(position),
        count_(count),
        kind_(owner_ ? owner_->Kind() : KindNil) {}
  // Raises 10 when the container's kind or element count is no longer what it was.
  void RequireUnchanged() const;

  std::shared_ptr<const Tavrix> owner_;  // null in an end iterator
  std::int32_t position_ = 1;
  std::int32_t count_ = 0;
  TavrixKind kind_ = KindNil;
  mutable Variant current_;  // the element read last
};

/// A Map entry as Items() gives it.
struct KeyValue {
  Variant key;    ///< The key as it was given.
  Variant value;  ///< The value stored under it.
};

/// A Map's entries, as Tavrix::Items() gives them: for (const auto& [key, value] : t->Items()).
class QUENLO_EXPORT Tavrix::ItemsView {
 public:
  /// An input iterator over the entries; raises as ConstIterator does.
  class Iterator {
   public:
    /// The standard iterator types.
    /// @{
    using iterator_category = std::input_iterator_tag;
    using value_type = KeyValue;
    using difference_type = std::ptrdiff_t;
    using reference = const KeyValue&;
    using pointer = void;
    /// @}

    Iterator() = default;
    /// The entry; valid until the iterator is advanced.
    const KeyValue& operator*() const;
    /// Moves to the next entry.
    /// @{
    Iterator& operator++() {
      ++elements_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator before = *this;
      ++elements_;
      return before;
    }
    /// @}
    /// Whether both stand at the same entry.
    friend bool operator==(const Iterator& a, const Iterator& b) noexcept {
      return a.elements_ == b.elements_;
    }

   private:
    friend class ItemsView;
    explicit Iterator(ConstIterator elements) noexcept : elements_(std::move(elements)) {}
    ConstIterator elements_;
    mutable KeyValue current_;  // the entry read last
  };

  /// The first entry and the end of the entries.
  /// @{
  Iterator begin() const { return Iterator(map_->begin()); }
  Iterator end() const { return Iterator(map_->end()); }
  /// @}

 private:
  friend class Tavrix;
  explicit ItemsView(std::shared_ptr<const Tavrix> map) noexcept : map_(std::move(map)) {}
  std::shared_ptr<const Tavrix> map_;
};

}  // namespace quenlo
