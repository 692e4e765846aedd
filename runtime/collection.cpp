// Collection: a ring buffer of slots, each a Variant and an optional heap key, with a hash
// index over the keys once there are enough items to make a scan slow.
#include "quenlo/collection.hpp"

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"

namespace quenlo {

namespace {

// Up to this many items a key is found by scanning the slots: small Maps carry no hash table.
constexpr std::int32_t kScanLimit = 8;
// The first buffer an append allocates; a Reserve may choose a smaller one.
constexpr std::int32_t kFirstCapacity = 4;
// The largest ring a 32-bit position can address as a power of two.
constexpr std::int32_t kLargestCapacity = std::int32_t{1} << 30;
// Rings up to this size keep their room when they empty out.
constexpr std::int32_t kShrinkFloor = 64;

// 32 bits of hash address any index a 32-bit count of keys needs.
std::uint32_t HashOf(std::string_view text) noexcept {
  const std::size_t hash = std::hash<std::string_view>{}(text);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

// A key's text lives right behind this 16-byte header, in the same heap block.
struct Collection::KeyBlock {
  std::int64_t ordinal;
  std::uint32_t hash;
  std::uint32_t length;

  std::string_view Text() const noexcept { return {reinterpret_cast<const char*>(this + 1), length}; }

  static KeyBlock* Make(std::string_view text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) RaiseRuntimeError(err::kOutOfMemory);
    void* memory = TranslateErrors([&text] { return ::operator new(sizeof(KeyBlock) + text.size()); });
    auto* block = new (memory) KeyBlock{0, HashOf(text), static_cast<std::uint32_t>(text.size())};
    if (!text.empty()) std::memcpy(block + 1, text.data(), text.size());
    return block;
  }

  struct Free {
    void operator()(KeyBlock* block) const noexcept { ::operator delete(block); }
  };
  using Handle = std::unique_ptr<KeyBlock, Free>;
};

// Slots outside positions 1..Count are raw memory: an item is constructed in place when it
// arrives and destroyed when it leaves, so growing the ring moves only the items.
struct Collection::Slot {
  Variant value;
  KeyBlock* key;

  Slot(Variant&& item, KeyBlock* item_key) noexcept : value(std::move(item)), key(item_key) {}

  // Takes over the item of a neighbouring slot; `shift` is the change of its key's ordinal.
  void TakeFrom(Slot& from, std::int64_t shift) noexcept {
    value = std::move(from.value);
    key = std::exchange(from.key, nullptr);
    if (key != nullptr) key->ordinal += shift;
  }

  // The same into a raw slot.
  static void MoveInto(Slot& raw, Slot& from, std::int64_t shift) noexcept {
    new (&raw) Slot(std::move(from.value), std::exchange(from.key, nullptr));
    if (raw.key != nullptr) raw.key->ordinal += shift;
  }

  static Slot* Allocate(std::int32_t capacity) {
    return static_cast<Slot*>(::operator new(sizeof(Slot) * static_cast<std::size_t>(capacity)));
  }
  static Slot* TryAllocate(std::int32_t capacity) noexcept {
    return static_cast<Slot*>(
        ::operator new(sizeof(Slot) * static_cast<std::size_t>(capacity), std::nothrow));
  }
  static void Deallocate(Slot* slots) noexcept { ::operator delete(slots); }
};

// An open-addressing hash set of key blocks with linear probing, at most half full; removal
// shifts later entries back, so there are no tombstones.
struct Collection::KeyIndex {
  std::unique_ptr<const KeyBlock*[]> buckets;
  std::size_t mask = 0;

  const KeyBlock* Find(std::string_view text, std::uint32_t hash) const noexcept {
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const KeyBlock* block = buckets[i];
      if (block == nullptr || (block->hash == hash && block->Text() == text)) return block;
    }
  }

  // Makes room for `wanted` keys; changes nothing when it fails.
  void Reserve(std::size_t wanted) {
    const std::size_t size = buckets == nullptr ? 0 : mask + 1;
    if (wanted * 2 <= size) return;
    std::size_t fresh_size = 16;
    while (fresh_size < wanted * 2) fresh_size *= 2;
    auto fresh = TranslateErrors([fresh_size] { return std::make_unique<const KeyBlock*[]>(fresh_size); });
    std::swap(buckets, fresh);
    mask = fresh_size - 1;
    for (std::size_t i = 0; i < size; ++i) {
      if (fresh[i] != nullptr) Insert(fresh[i]);
    }
  }

  void Insert(const KeyBlock* block) noexcept {
    std::size_t i = block->hash & mask;
    while (buckets[i] != nullptr) i = (i + 1) & mask;
    buckets[i] = block;
  }

  void Erase(const KeyBlock* block) noexcept {
    std::size_t hole = block->hash & mask;
    while (buckets[hole] != block) hole = (hole + 1) & mask;
    for (std::size_t next = (hole + 1) & mask; buckets[next] != nullptr; next = (next + 1) & mask) {
      // An entry may fill the hole when the hole lies on its probe path from its home bucket.
      const std::size_t home = buckets[next]->hash & mask;
      if (((next - home) & mask) >= ((next - hole) & mask)) {
        buckets[hole] = buckets[next];
        hole = next;
      }
    }
    buckets[hole] = nullptr;
  }
};

// ---- Life cycle -------------------------------------------------------------------------

Collection::Collection() noexcept = default;

Collection::Collection(Collection&& other) noexcept {
  TakeOver(other);
}

Collection& Collection::operator=(Collection&& other) noexcept {
  if (this != &other) {
    Collection former(std::move(*this));
    TakeOver(other);
  }
  return *this;
}

Collection::~Collection() {
  // Front to back, as the items were added.
  for (std::int32_t position = 1; position <= count_; ++position) {
    Slot& slot = SlotAt(position);
    KeyBlock::Free{}(slot.key);
    std::destroy_at(&slot);
  }
  Slot::Deallocate(slots_);
}

void Collection::TakeOver(Collection& other) noexcept {
  slots_ = std::exchange(other.slots_, nullptr);
  capacity_ = std::exchange(other.capacity_, 0);
  head_ = std::exchange(other.head_, 0);
  count_ = std::exchange(other.count_, 0);
  keyed_count_ = std::exchange(other.keyed_count_, 0);
  base_ = std::exchange(other.base_, 0);
  index_ = std::move(other.index_);
}

// ---- The classic interface ----------------------------------------------------------------

const Variant& Collection::Item(const Variant& index) const {
  return SlotAt(PositionOf(index)).value;
}

void Collection::Add(Variant item, const Variant& Key, const Variant& Before, const Variant& After) {
  const bool before_given = !Before.IsMissing();
  const bool after_given = !After.IsMissing();
  if (before_given && after_given) RaiseRuntimeError(err::kInvalidProcedureCall);
  std::optional<std::string> key;
  if (!Key.IsMissing()) key = CStr(Key);
  std::int32_t position = count_ + 1;
  if (before_given) position = PositionOf(Before);
  if (after_given) position = PositionOf(After) + 1;
  InsertAt(position, std::move(item), key ? std::optional<std::string_view>(*key) : std::nullopt);
}

void Collection::Remove(const Variant& index) {
  RemoveAt(PositionOf(index));
}

// ---- Positions and keys -------------------------------------------------------------------

std::int32_t Collection::PositionOf(const Variant& index) const {
  // An object names what its default member reads.
  const Variant plain = index.IsObject() ? DefaultValue(index) : Variant();
  const Variant& named = index.IsObject() ? plain : index;
  switch (named.Type()) {
    case vbString: {
      const std::optional<std::int32_t> position = FindKey(named.AsString());
      if (!position) RaiseRuntimeError(err::kInvalidProcedureCall);
      return *position;
    }
    case vbInteger:
    case vbLong:
    case vbSingle:
    case vbDouble:
    case vbCurrency:
    case vbDate:
    case vbBoolean:
    case vbDecimal:
    case vbByte: {
      const std::int32_t position = named.Type() == vbLong ? named.AsLong() : CLng(named);
      CheckPosition(position);
      return position;
    }
    default:
      RaiseRuntimeError(err::kTypeMismatch);
  }
}

std::optional<std::int32_t> Collection::FindKey(std::string_view key) const noexcept {
  const KeyBlock* block = FindBlock(key, index_ != nullptr ? HashOf(key) : 0);
  if (block == nullptr) return std::nullopt;
  return PositionOfBlock(*block);
}

std::optional<std::string_view> Collection::KeyAt(std::int32_t position) const {
  CheckPosition(position);
  const KeyBlock* key = SlotAt(position).key;
  if (key == nullptr) return std::nullopt;
  return key->Text();
}

const Variant& Collection::At(std::int32_t position) const {
  CheckPosition(position);
  return SlotAt(position).value;
}

Variant& Collection::At(std::int32_t position) {
  CheckPosition(position);
  return SlotAt(position).value;
}

// ---- Changes ------------------------------------------------------------------------------

void Collection::Append(Variant item) {
  MakeRoomForOne(false);
  Place(count_ + 1, std::move(item), nullptr);
}

void Collection::Append(Variant item, std::string_view key) {
  InsertAt(count_ + 1, std::move(item), key);
}

void Collection::InsertAt(std::int32_t position, Variant item, std::optional<std::string_view> key) {
  if (position < 1 || position > count_ + 1) RaiseRuntimeError(err::kSubscriptOutOfRange);
  KeyBlock::Handle block;
  if (key) {
    block.reset(KeyBlock::Make(*key));
    if (FindBlock(*key, block->hash) != nullptr) RaiseRuntimeError(err::kDuplicateKey);
  }
  MakeRoomForOne(block != nullptr);
  Place(position, std::move(item), block.release());
}

void Collection::ReplaceAt(std::int32_t position, Variant item) {
  CheckPosition(position);
  Slot& slot = SlotAt(position);
  // The former item goes only once the collection is whole again.
  const Variant former = std::exchange(slot.value, std::move(item));
  DropKey(std::exchange(slot.key, nullptr));
}

void Collection::RemoveAt(std::int32_t position) {
  CheckPosition(position);
  Extract(position);
}

Variant Collection::TakeFirst() {
  if (count_ == 0) RaiseRuntimeError(err::kSubscriptOutOfRange);
  return Extract(1);
}

void Collection::Clear() noexcept {
  // The items are released by the emptied-out former state, while this one is already empty.
  Collection former(std::move(*this));
}

void Collection::Reserve(std::int32_t capacity) {
  if (capacity > capacity_) GrowTo(capacity);
}

Collection Collection::Copy(bool with_keys) const {
  Collection copy;
  copy.Reserve(count_);
  for (std::int32_t position = 1; position <= count_; ++position) {
    const Slot& slot = SlotAt(position);
    KeyBlock::Handle key(with_keys && slot.key != nullptr ? KeyBlock::Make(slot.key->Text()) : nullptr);
    Variant item = TranslateErrors([&slot] { return slot.value; });
    copy.MakeRoomForOne(key != nullptr);
    copy.Place(position, std::move(item), key.release());
  }
  return copy;
}

// ---- Inner workings -----------------------------------------------------------------------

Collection::Slot& Collection::SlotAt(std::int32_t position) noexcept {
  return slots_[(head_ + position - 1) & (capacity_ - 1)];
}

const Collection::Slot& Collection::SlotAt(std::int32_t position) const noexcept {
  return slots_[(head_ + position - 1) & (capacity_ - 1)];
}

void Collection::CheckPosition(std::int32_t position) const {
  if (position < 1 || position > count_) RaiseRuntimeError(err::kSubscriptOutOfRange);
}

// `hash` is HashOf(key); only the index reads it, a scan does not.
const Collection::KeyBlock* Collection::FindBlock(std::string_view key, std::uint32_t hash) const noexcept {
  if (keyed_count_ == 0) return nullptr;
  if (index_ != nullptr) return index_->Find(key, hash);
  for (std::int32_t position = 1; position <= count_; ++position) {
    const KeyBlock* block = SlotAt(position).key;
    if (block != nullptr && block->Text() == key) return block;
  }
  return nullptr;
}

std::int32_t Collection::PositionOfBlock(const KeyBlock& block) const noexcept {
  return static_cast<std::int32_t>(block.ordinal - base_ + 1);
}

void Collection::GrowTo(std::int32_t wanted) {
  if (wanted > kLargestCapacity) RaiseRuntimeError(err::kOutOfMemory);
  std::int32_t capacity = 1;
  while (capacity < wanted) capacity *= 2;
  Slot* fresh = TranslateErrors([capacity] { return Slot::Allocate(capacity); });
  MoveTo(fresh, capacity);
}

// A ring drained to a quarter gives half of its room back; without memory for the smaller
// ring it simply stays as it is.
void Collection::ShrinkIfSparse() noexcept {
  if (capacity_ <= kShrinkFloor || count_ > capacity_ / 4) return;
  const std::int32_t capacity = capacity_ / 2;
  Slot* fresh = Slot::TryAllocate(capacity);
  if (fresh != nullptr) MoveTo(fresh, capacity);
}

void Collection::MoveTo(Slot* fresh, std::int32_t capacity) noexcept {
  static_assert(sizeof(Slot) == sizeof(Variant) + sizeof(void*),
                "a keyless item costs a Variant and a pointer");
  for (std::int32_t position = 1; position <= count_; ++position) {
    Slot& slot = SlotAt(position);
    Slot::MoveInto(fresh[position - 1], slot, 0);
    std::destroy_at(&slot);
  }
  Slot::Deallocate(slots_);
  slots_ = fresh;
  capacity_ = capacity;
  head_ = 0;
}

// Everything an insertion may fail on, done before the insertion changes anything: room in
// the ring, and the key index once keys and items are too many for a scan.
void Collection::MakeRoomForOne(bool keyed) {
  if (count_ == capacity_) GrowTo(count_ < kFirstCapacity ? kFirstCapacity : count_ + 1);
  const std::int32_t keys = keyed_count_ + (keyed ? 1 : 0);
  if (index_ != nullptr) {
    index_->Reserve(static_cast<std::size_t>(keys));
  } else if (keys > 0 && count_ >= kScanLimit) {
    auto index = TranslateErrors([] { return std::make_unique<KeyIndex>(); });
    index->Reserve(static_cast<std::size_t>(keys));
    for (std::int32_t position = 1; position <= count_; ++position) {
      if (const KeyBlock* block = SlotAt(position).key) index->Insert(block);
    }
    index_ = std::move(index);
  }
}

// Opens the gap on the side with fewer items: the raw slot at that end takes the nearest
// item, and the items between move one place towards it. Items moved towards the head keep
// their positions while base_ drops by one, so their ordinals drop too; items moved towards
// the tail take the next position.
void Collection::Place(std::int32_t position, Variant&& item, KeyBlock* key) noexcept {
  const bool towards_head = position - 1 < count_ - (position - 1);
  if (towards_head) {
    head_ = (head_ - 1) & (capacity_ - 1);
    --base_;
  }
  const std::int32_t edge = towards_head ? 1 : count_ + 1;
  if (edge == position) {
    new (&SlotAt(position)) Slot(std::move(item), key);
  } else {
    const std::int32_t step = towards_head ? 1 : -1;
    const std::int64_t shift = towards_head ? -1 : 1;
    Slot::MoveInto(SlotAt(edge), SlotAt(edge + step), shift);
    for (std::int32_t p = edge + step; p != position; p += step) SlotAt(p).TakeFrom(SlotAt(p + step), shift);
    Slot& slot = SlotAt(position);
    slot.value = std::move(item);
    slot.key = key;
  }
  ++count_;
  if (key != nullptr) {
    key->ordinal = base_ + position - 1;
    ++keyed_count_;
    if (index_ != nullptr) index_->Insert(key);
  }
}

// Closes the gap from the side with fewer items and hands the removed item over, so that it
// is released only once the collection is whole again.
Variant Collection::Extract(std::int32_t position) noexcept {
  Slot& removed = SlotAt(position);
  Variant item = std::move(removed.value);
  DropKey(std::exchange(removed.key, nullptr));
  const bool from_head = position - 1 < count_ - position;
  const std::int32_t edge = from_head ? 1 : count_;
  const std::int32_t step = from_head ? -1 : 1;
  const std::int64_t shift = from_head ? 1 : -1;
  for (std::int32_t p = position; p != edge; p += step) SlotAt(p).TakeFrom(SlotAt(p + step), shift);
  std::destroy_at(&SlotAt(edge));
  if (from_head) {
    head_ = (head_ + 1) & (capacity_ - 1);
    ++base_;
  }
  --count_;
  ShrinkIfSparse();
  return item;
}

void Collection::DropKey(KeyBlock* key) noexcept {
  if (key == nullptr) return;
  --keyed_count_;
  if (keyed_count_ == 0) {
    index_.reset();
  } else if (index_ != nullptr) {
    index_->Erase(key);
  }
  KeyBlock::Free{}(key);
}

}  // namespace quenlo
