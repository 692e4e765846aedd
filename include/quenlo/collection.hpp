// Collection: an ordered sequence of Variants, each optionally under a unique text key.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "quenlo/export.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

/// An ordered sequence of Variant items with 1-based positions that close up after a removal;
/// each item may carry a unique text key (keys compare byte for byte). A numeric index names
/// a position, a text index names a key.
///
/// Costs: reading by position or key, appending, prepending and removing the first or the last
/// item are O(1) (amortized; average for keys); inserting or removing in the middle is O(n).
/// An item costs its Variant. Keys add a word per item once any item has one, except that
/// items appended each under the decimal text of its new position ("1", "2", ...) keep those
/// keys for free while nothing else changes them. A key that is the plain decimal text of a
/// 32-bit integer ("7", "-12"; not "07" or "-0") is held as the number, a text of up to seven
/// bytes in the word itself.
///
/// Errors: a position that is not there raises 9, a key that is not there 5, a key already
/// present 457, an index of another type 13. A failed call changes nothing.
class QUENLO_EXPORT Collection {
 public:
  /// An empty collection; it allocates nothing until an item arrives.
  Collection() noexcept;
  /// Moving takes the items, keys and storage over and leaves `other` empty. Copies are made
  /// with Copy(), which says whether the keys come along.
  /// @{
  Collection(Collection&& other) noexcept;
  Collection& operator=(Collection&& other) noexcept;
  /// @}
  Collection(const Collection&) = delete;
  Collection& operator=(const Collection&) = delete;
  ~Collection();

  // ---- The classic interface ---------------------------------------------------------

  /// The number of items.
  std::int32_t Count() const noexcept { return count_; }

  /// The item a position or a key names.
  const Variant& Item(const Variant& index) const;

  /// Appends `item`, or places it before or after the item that Before or After names (at
  /// most one of them may be given); Key, Before and After may each be Missing.
  void Add(Variant item, const Variant& Key = Variant::Missing(), const Variant& Before = Variant::Missing(),
           const Variant& After = Variant::Missing());

  /// Removes the item a position or a key names.
  void Remove(const Variant& index);

  // ---- Positions and keys -------------------------------------------------------------

  /// The position an index names: a number (rounded half to even) that is a position, or the
  /// text of a key. Raises as Item does.
  std::int32_t PositionOf(const Variant& index) const;

  /// The position of the item under `key`, if there is one.
  std::optional<std::int32_t> FindKey(std::string_view key) const noexcept;

  /// The key of the item at `position` (1..Count), if it has one.
  std::optional<std::string> KeyAt(std::int32_t position) const;
  /// Appends the key of the item at `position` (1..Count) to `out`; false, with `out` as it
  /// was, when the item has no key.
  bool AppendKeyText(std::int32_t position, std::string& out) const;

  /// The item at `position` (1..Count); raises 9 outside that range.
  /// @{
  const Variant& At(std::int32_t position) const {
    CheckPosition(position);
    return ItemAt(position);
  }
  Variant& At(std::int32_t position) {
    CheckPosition(position);
    return ItemAt(position);
  }
  /// @}

  // ---- Changes ------------------------------------------------------------------------

  /// Appends an item without a key.
  void Append(Variant item);
  /// Appends an item under `key`; raises 457 when the key is present.
  void Append(Variant item, std::string_view key);
  /// Appends an item under `key` when no item holds that key, else without a key; true when
  /// the item got the key.
  bool AppendUnderFreeKey(Variant item, std::string_view key);
  /// The same under the decimal text of `key`.
  bool AppendUnderFreeKey(Variant item, std::int32_t key);
  /// Inserts an item at `position` (1..Count+1), optionally under a key.
  void InsertAt(std::int32_t position, Variant item, std::optional<std::string_view> key = std::nullopt);
  /// Replaces the item at `position` by `item`, which takes its place without a key.
  void ReplaceAt(std::int32_t position, Variant item);
  /// Removes the item at `position` (1..Count).
  void RemoveAt(std::int32_t position);
  /// Removes the first item and hands it over; raises 9 when there is none.
  Variant TakeFirst();
  /// Removes every item.
  void Clear() noexcept;
  /// Makes room for `capacity` items in all.
  void Reserve(std::int32_t capacity);

  /// A copy of every item in order, without keys (or with them, when `with_keys`).
  Collection Copy(bool with_keys) const;

 private:
  friend class KeyedFiller;  // runtime/keyed_filler.hpp

  struct SlotKey;
  struct KeyBlock;
  struct KeyPool;
  struct Probe;
  struct KeyIndex;
  struct IndexEntry;

  // How the items' keys are held: none has a key; the item at each position p has the key p,
  // held by nobody (what appending to an array under each new position gives); or a key word
  // per item, stored behind the items in the same block.
  enum class KeyForm : std::uint8_t { kNone, kPositional, kStored };

  Variant& ItemAt(std::int32_t position) noexcept { return items_[RingIndex(position)]; }
  const Variant& ItemAt(std::int32_t position) const noexcept { return items_[RingIndex(position)]; }
  SlotKey KeyOf(std::int32_t position) const noexcept;
  SlotKey* KeyWords() const noexcept;
  KeyPool*& PoolSlot() const noexcept;
  // The ring's index of a position; head_ and position - 1 are both below capacity_.
  std::int32_t RingIndex(std::int32_t position) const noexcept {
    const std::int32_t index = head_ + position - 1;
    return index >= capacity_ ? index - capacity_ : index;
  }
  std::uint32_t OrdinalOf(std::int32_t position) const noexcept;
  void CheckPosition(std::int32_t position) const {
    if (position < 1 || position > count_) RaisePositionMissing(position);
  }
  [[noreturn]] void RaisePositionMissing(std::int32_t position) const;
  std::int32_t Find(const Probe& probe) const noexcept;
  std::int32_t Scan(const Probe& probe) const noexcept;
  bool EnsureIndex() const noexcept;
  std::unique_ptr<KeyIndex> BuildIndex() const noexcept;
  std::unique_ptr<IndexEntry[]> KeyEntries() const noexcept;
  bool SameKeysAt(std::uint32_t ordinal, std::uint32_t other) const noexcept;
  bool HoldsDistinctKeys() const noexcept;
  void AppendWithoutLookup(Variant&& item, std::string_view key);
  SlotKey CarveKey(std::string_view text, std::uint32_t hash);
  void MergeRepeatedKeys();
  bool AppendUnderFree(Variant&& item, const Probe& probe);
  bool KeepsPositionalKeys(std::int32_t position, SlotKey key) const noexcept;
  void StoreKeys();
  void GrowTo(std::int32_t capacity, bool with_keys);
  void ShrinkIfSparse() noexcept;
  void MoveTo(Variant* fresh, std::int32_t capacity, bool with_keys) noexcept;
  void MakeRoomForOne();
  void Prepare(std::int32_t position, bool keyed, SlotKey word);
  void Place(std::int32_t position, Variant&& item, SlotKey key) noexcept;
  Variant Extract(std::int32_t position) noexcept;
  void Renumber(std::int32_t first, std::int32_t last, std::int32_t shift) noexcept;
  void Register(SlotKey key, std::int32_t position) noexcept;
  void DropKey(SlotKey key, std::int32_t position) noexcept;
  void TakeOver(Collection& other) noexcept;

  // Items live in a ring buffer of capacity_ items; position p is item (head_ + p - 1) modulo
  // capacity_ and has the ordinal base_ + p - 1 (modulo 2^32), so prepending and removing the
  // first item move base_ instead of renumbering. Stored keys are a second ring of capacity_
  // words right behind the items, parallel to them, then the address of the pool that keys
  // read in bulk are carved from. index_ finds a stored key's ordinal from its hash; it is
  // built at the first lookup among more items than a quick scan covers, and kept up to date
  // from then on. No stored key ever held was a larger integer than
  // highest_integer_key_, so a larger one needs no lookup.
  Variant* items_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t head_ = 0;
  std::int32_t count_ = 0;
  std::int32_t keyed_count_ = 0;
  std::uint32_t base_ = 0;
  std::int32_t highest_integer_key_ = INT32_MIN;
  mutable std::unique_ptr<KeyIndex> index_;
  KeyForm key_form_ = KeyForm::kNone;
};

}  // namespace quenlo
