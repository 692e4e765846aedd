// Collection: a ring buffer of Variants with their keys in a parallel ring when any are held,
// and a hash index over the keys built once a lookup among many items needs it.
#include "quenlo/collection.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "runtime/siphash.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

// Up to this many items a key is found by scanning the slots: small Maps carry no hash table.
constexpr std::int32_t kScanLimit = 8;
// The first buffer an append allocates; a Reserve may choose a smaller one.
constexpr std::int32_t kFirstCapacity = 4;
// The largest ring a 32-bit position can address as a power of two.
constexpr std::int32_t kLargestCapacity = std::int32_t{1} << 30;
// One pass over the whole key index costs about as much as this many single lookups.
constexpr std::size_t kLookupsPerPass = 32;
// Rings up to this size keep their room when they empty out.
constexpr std::int32_t kShrinkFloor = 64;
// The largest chunk of a key pool, below the size the allocator maps from the system.
constexpr std::size_t kLargestPoolChunk = 64 * 1024 - 64;

// Keys are hashed with SipHash-1-3 under a key drawn at random once per process, so that
// nobody can choose keys that share buckets and make lookups, and with them reading a Map,
// quadratic. Without a source of randomness the time and an address make the key.
SipKey DrawProcessKey() noexcept {
  try {
    std::random_device device;
    const auto draw = [&device] { return (std::uint64_t{device()} << 32) | device(); };
    return {draw(), draw()};
  } catch (...) {
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return {now, reinterpret_cast<std::uintptr_t>(&DrawProcessKey)};  // placed anew each run
  }
}

const SipKey& ProcessKey() noexcept {
  static const SipKey key = DrawProcessKey();
  return key;
}

// 32 bits of hash address any index a 32-bit count of keys needs.
std::uint32_t HashOfText(std::string_view text) noexcept {
  return static_cast<std::uint32_t>(SipHasher<1, 3>(ProcessKey()).Hash(text));
}

std::uint32_t HashOfWord(std::uint64_t word) noexcept {
  return static_cast<std::uint32_t>(SipHasher<1, 3>(ProcessKey()).HashWord(word));
}

// The number a key text is the plain decimal text of: "0", or an optional "-" and digits
// without a leading zero, within 32 bits. Any other text ("07", "-0", "+1", " 1") is none.
std::optional<std::int32_t> CanonicalInteger(std::string_view text) noexcept {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && (negative || digits.size() > 1))) {
    return std::nullopt;
  }
  std::int64_t magnitude = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return std::nullopt;
    magnitude = magnitude * 10 + (digit - '0');
  }
  const std::int64_t number = negative ? -magnitude : magnitude;
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(number);
}

}  // namespace

// A key's text lives right behind this 8-byte header, in a heap block of its own or carved
// from the ring's key pool.
struct Collection::KeyBlock {
  std::uint32_t hash;
  std::uint32_t length;

  std::string_view Text() const noexcept { return {reinterpret_cast<const char*>(this + 1), length}; }

  static KeyBlock* Make(std::string_view text, std::uint32_t hash) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) RaiseRuntimeError(err::kOutOfMemory);
    void* memory = TranslateErrors([&text] { return ::operator new(sizeof(KeyBlock) + text.size()); });
    auto* block = new (memory) KeyBlock{hash, static_cast<std::uint32_t>(text.size())};
    if (!text.empty()) std::memcpy(block + 1, text.data(), text.size());
    return block;
  }

  // The room a block of `length` text bytes takes in a key pool, which keeps blocks 8-aligned.
  static std::size_t CarvedSize(std::size_t length) noexcept {
    return (sizeof(KeyBlock) + length + 7) & ~std::size_t{7};
  }
};

// Chunks that blocks of keys are carved from when a reader fills a Map, instead of one heap
// block each: the chunks are freed with the ring that owns them, not key by key, so a carved
// key removed before then keeps its room until the ring goes. Each chunk links to the one
// filled before it.
struct Collection::KeyPool {
  KeyPool* previous;
  std::uint32_t used;
  std::uint32_t size;

  char* Room() noexcept { return reinterpret_cast<char*>(this + 1) + used; }

  // A chunk of `size` bytes after `previous`.
  static KeyPool* Make(KeyPool* previous, std::size_t size) {
    void* memory = TranslateErrors([size] { return ::operator new(sizeof(KeyPool) + size); });
    return new (memory) KeyPool{previous, 0, static_cast<std::uint32_t>(size)};
  }

  static void FreeAll(KeyPool* pool) noexcept {
    while (pool != nullptr) ::operator delete(std::exchange(pool, pool->previous));
  }
};

// A slot's key in one word: 0 for none; a number in the upper half with bit 0 set; a text of
// up to kInlineKeyLength bytes in the upper seven bytes, its length in bits 2 to 4 and bit 1
// set; or the address of a KeyBlock, with bit 2 set when it is carved from a key pool. Each text has exactly
// one form (an integer's plain decimal text is always the number, a short text always inline), and the unused
// bytes of an inline text are zero, so two keys are the same text exactly when their words or their blocks'
// texts are equal.
struct Collection::SlotKey {
  std::uint64_t word = 0;

  static constexpr std::size_t kInlineKeyLength = 7;
  static constexpr std::uint64_t kIntegerBit = 1;
  static constexpr std::uint64_t kInlineBit = 2;
  static constexpr std::uint64_t kCarvedBit = 4;

  static SlotKey Integer(std::int32_t number) noexcept {
    return {(std::uint64_t{static_cast<std::uint32_t>(number)} << 32) | kIntegerBit};
  }
  // Expects at most kInlineKeyLength bytes.
  static SlotKey Inline(std::string_view text) noexcept {
    std::uint64_t word = (std::uint64_t{text.size()} << 2) | kInlineBit;
    for (std::size_t i = 0; i < text.size(); ++i) {
      word |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * (i + 1));
    }
    return {word};
  }
  static SlotKey Block(std::string_view text, std::uint32_t hash) {
    return {reinterpret_cast<std::uintptr_t>(KeyBlock::Make(text, hash))};
  }

  bool IsNone() const noexcept { return word == 0; }
  bool SameAs(SlotKey other) const noexcept {
    return word == other.word || (IsBlock() && other.IsBlock() && AsBlock().Text() == other.AsBlock().Text());
  }
  bool IsInteger() const noexcept { return (word & kIntegerBit) != 0; }
  // An integer or an inline text: the word is the whole key.
  bool IsWord() const noexcept { return (word & (kIntegerBit | kInlineBit)) != 0; }
  bool IsBlock() const noexcept { return !IsNone() && !IsWord(); }
  std::int32_t AsInteger() const noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(word >> 32));
  }
  const KeyBlock& AsBlock() const noexcept { return *reinterpret_cast<const KeyBlock*>(word & ~kCarvedBit); }

  void AppendText(std::string& out) const {
    if (IsBlock()) {
      out += AsBlock().Text();
    } else if (IsInteger()) {
      char digits[12];
      const auto end = std::to_chars(digits, digits + sizeof digits, AsInteger()).ptr;
      out.append(digits, end);
    } else {
      for (std::size_t i = 0; i < ((word >> 2) & 7); ++i) out += static_cast<char>(word >> (8 * (i + 1)));
    }
  }
  // A word key hashes from its word, a block key from its text; a text has one form only, so
  // equal texts hash alike.
  std::uint32_t Hash() const noexcept { return IsBlock() ? AsBlock().hash : HashOfWord(word); }

  SlotKey Copy() const { return IsBlock() ? Block(AsBlock().Text(), AsBlock().hash) : *this; }
  // A carved block goes with its pool.
  void Free() const noexcept {
    if (IsBlock() && (word & kCarvedBit) == 0) ::operator delete(reinterpret_cast<void*>(word));
  }
};

static_assert(sizeof(void*) <= sizeof(std::uint64_t), "a key word holds an address");
static_assert(alignof(std::max_align_t) >= 8, "a block's address leaves the three tag bits clear");

// A key text as lookups see it: its word when it is an integer's plain text or a short text,
// with the hash of a block text worked out only when an index asks for it.
struct Collection::Probe {
  SlotKey word;
  std::string_view text;
  mutable std::optional<std::uint32_t> hash;

  static Probe Of(std::string_view key) noexcept {
    if (const std::optional<std::int32_t> number = CanonicalInteger(key)) return Of(*number);
    if (key.size() <= SlotKey::kInlineKeyLength) return {SlotKey::Inline(key), key, std::nullopt};
    return {SlotKey{}, key, std::nullopt};
  }
  static Probe Of(std::int32_t number) noexcept { return {SlotKey::Integer(number), {}, std::nullopt}; }
  static Probe Of(SlotKey key) noexcept {
    if (key.IsBlock()) return {SlotKey{}, key.AsBlock().Text(), key.AsBlock().hash};
    return {key, {}, std::nullopt};
  }

  bool IsInteger() const noexcept { return word.IsInteger(); }
  std::uint32_t Hash() const noexcept {
    if (!hash) hash = word.IsNone() ? HashOfText(text) : word.Hash();
    return *hash;
  }
  bool Matches(SlotKey key) const noexcept {
    if (!word.IsNone()) return key.word == word.word;
    return key.IsBlock() && key.AsBlock().Text() == text;
  }
  SlotKey MakeKey() const { return word.IsNone() ? SlotKey::Block(text, Hash()) : word; }
};

// An open-addressing hash table from a key's hash to its slot's ordinal, with linear probing,
// at most half full; removal shifts later entries back, so there are no tombstones. An entry's
// tag is the hash with the top bit set (tables stay below 2^31 entries, so the bit never
// chooses a bucket); a tag of 0 marks an empty entry.
struct Collection::IndexEntry {
  std::uint32_t tag;
  std::uint32_t ordinal;
};

struct Collection::KeyIndex {
  using Entry = IndexEntry;
  std::unique_ptr<Entry[]> entries;
  std::size_t mask = 0;

  static std::uint32_t TagOf(std::uint32_t hash) noexcept { return hash | 0x80000000u; }

  // Calls `matches` with the ordinal of each entry of that hash until it answers true, and
  // gives that entry, or nothing.
  template <class Matches>
  const Entry* Find(std::uint32_t hash, Matches&& matches) const noexcept {
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t i = tag & mask; entries[i].tag != 0; i = (i + 1) & mask) {
      if (entries[i].tag == tag && matches(entries[i].ordinal)) return &entries[i];
    }
    return nullptr;
  }

  // Makes room for `wanted` keys; false, with nothing changed, when memory runs out.
  bool Reserve(std::size_t wanted) noexcept {
    const std::size_t size = entries == nullptr ? 0 : mask + 1;
    if (wanted * 2 <= size) return true;
    std::size_t fresh_size = 16;
    while (fresh_size < wanted * 2) fresh_size *= 2;
    std::unique_ptr<Entry[]> fresh(new (std::nothrow) Entry[fresh_size]());
    if (fresh == nullptr) return false;
    std::swap(entries, fresh);
    mask = fresh_size - 1;
    for (std::size_t i = 0; i < size; ++i) {
      if (fresh[i].tag != 0) Insert(fresh[i].tag, fresh[i].ordinal);
    }
    return true;
  }

  // Enters an ordinal unless `matches` answers true for one of that hash already there; true
  // when entered.
  template <class Matches>
  bool InsertNew(std::uint32_t hash, std::uint32_t ordinal, Matches&& matches) noexcept {
    const std::uint32_t tag = TagOf(hash);
    std::size_t i = tag & mask;
    for (; entries[i].tag != 0; i = (i + 1) & mask) {
      if (entries[i].tag == tag && matches(entries[i].ordinal)) return false;
    }
    entries[i] = {tag, ordinal};
    return true;
  }

  // Enters many entries, each unless one with the same key is there already (`same_keys` tells
  // from two ordinals); false when one was not entered. A large table is filled one part of
  // kPartSize entries at a time, the entries grouped by part first: filling it in any order
  // gives a sound table, and this one misses the cache far less than the whole table at random.
  template <class SameKeys>
  bool InsertAll(std::unique_ptr<Entry[]>& batch, std::size_t count, SameKeys&& same_keys) noexcept {
    constexpr std::size_t kPartSize = 8192;  // 64 KiB of entries
    const std::size_t parts = (mask + 1) / kPartSize;
    if (parts > 1)
      GroupByPart(batch, count, parts, [this](const Entry& entry) { return (entry.tag & mask) / kPartSize; });
    return InsertEach(batch.get(), count, same_keys);
  }

  // Whether no two entries have the same key, told without a table for all of them: the
  // entries are grouped by the top bits of their hashes, and each group is entered in a small
  // table that stays in the cache.
  template <class SameKeys>
  static bool AllDistinct(std::unique_ptr<Entry[]>& batch, std::size_t count, SameKeys&& same_keys) noexcept {
    constexpr std::size_t kGroupSize = 4096;  // keys in a group, on average
    int group_bits = 0;
    while (group_bits < 20 && (count >> group_bits) > kGroupSize) ++group_bits;
    auto group_of = [group_bits](const Entry& entry) {
      return group_bits == 0 ? 0 : static_cast<std::size_t>((entry.tag << 1) >> (32 - group_bits));
    };
    const std::unique_ptr<std::size_t[]> starts =
        GroupByPart(batch, count, std::size_t{1} << group_bits, group_of);
    if (starts == nullptr) return false;
    std::size_t largest = 0;
    for (std::size_t group = 0; group < (std::size_t{1} << group_bits); ++group) {
      largest = std::max(largest, starts[group + 1] - starts[group]);
    }
    KeyIndex table;
    if (!table.Reserve(largest)) return false;
    for (std::size_t group = 0; group < (std::size_t{1} << group_bits); ++group) {
      std::fill_n(table.entries.get(), table.mask + 1, Entry{0, 0});
      if (!table.InsertEach(&batch[starts[group]], starts[group + 1] - starts[group], same_keys))
        return false;
    }
    return true;
  }

  // Groups the entries by part_of(entry), a number below `parts`, keeping their order within a
  // group; gives where each group starts, then the count, or nothing when memory runs out (the
  // entries then stay as they were).
  template <class PartOf>
  static std::unique_ptr<std::size_t[]> GroupByPart(std::unique_ptr<Entry[]>& batch, std::size_t count,
                                                    std::size_t parts, PartOf&& part_of) noexcept {
    std::unique_ptr<std::size_t[]> starts(new (std::nothrow) std::size_t[parts + 1]());
    std::unique_ptr<Entry[]> grouped(parts > 1 ? new (std::nothrow) Entry[count] : nullptr);
    if (starts == nullptr || (parts > 1 && grouped == nullptr)) return nullptr;
    starts[parts] = count;
    if (parts == 1) return starts;
    for (std::size_t i = 0; i < count; ++i) ++starts[part_of(batch[i])];
    for (std::size_t part = 1; part < parts; ++part) starts[part] += starts[part - 1];
    for (std::size_t i = count; i-- > 0;) grouped[--starts[part_of(batch[i])]] = batch[i];
    batch = std::move(grouped);
    return starts;
  }

  template <class SameKeys>
  bool InsertEach(const Entry* batch, std::size_t count, SameKeys& same_keys) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t ordinal = batch[i].ordinal;
      auto same_key = [&same_keys, ordinal](std::uint32_t other) { return same_keys(ordinal, other); };
      if (!InsertNew(batch[i].tag, ordinal, same_key)) return false;
    }
    return true;
  }

  void Insert(std::uint32_t hash, std::uint32_t ordinal) noexcept {
    const std::uint32_t tag = TagOf(hash);
    std::size_t i = tag & mask;
    while (entries[i].tag != 0) i = (i + 1) & mask;
    entries[i] = {tag, ordinal};
  }

  std::size_t Locate(std::uint32_t hash, std::uint32_t ordinal) const noexcept {
    const std::uint32_t tag = TagOf(hash);
    std::size_t i = tag & mask;
    while (entries[i].tag != tag || entries[i].ordinal != ordinal) i = (i + 1) & mask;
    return i;
  }

  void Renumber(std::uint32_t hash, std::uint32_t from, std::uint32_t to) noexcept {
    entries[Locate(hash, from)].ordinal = to;
  }

  // Moves every entry of an ordinal from `first` to `last` by `shift`, in one pass without
  // branches (an empty entry's ordinal means nothing, so it may move too).
  void Shift(std::uint32_t first, std::uint32_t last, std::int32_t shift) noexcept {
    const auto step = static_cast<std::uint32_t>(shift);
    for (std::size_t i = 0; i <= mask; ++i) {
      entries[i].ordinal += entries[i].ordinal - first <= last - first ? step : 0;
    }
  }

  void Erase(std::uint32_t hash, std::uint32_t ordinal) noexcept {
    std::size_t hole = Locate(hash, ordinal);
    for (std::size_t next = (hole + 1) & mask; entries[next].tag != 0; next = (next + 1) & mask) {
      // An entry may fill the hole when the hole lies on its probe path from its home bucket.
      const std::size_t home = entries[next].tag & mask;
      if (((next - home) & mask) >= ((next - hole) & mask)) {
        entries[hole] = entries[next];
        hole = next;
      }
    }
    entries[hole] = {0, 0};
  }
};

// ---- Storage ------------------------------------------------------------------------------

namespace {

// A ring's block: capacity items, then, when keys are stored, capacity key words and the
// address of the key pool. Positions outside 1..Count are raw memory: an item is constructed
// when it arrives and destroyed when it leaves, so growing the ring moves only the items.
std::size_t BlockSize(std::int32_t capacity, bool with_keys) noexcept {
  const std::size_t items = static_cast<std::size_t>(capacity) * sizeof(Variant);
  return with_keys ? items + static_cast<std::size_t>(capacity) * sizeof(std::uint64_t) + sizeof(void*)
                   : items;
}

Variant* AllocateBlock(std::int32_t capacity, bool with_keys) {
  return static_cast<Variant*>(::operator new(BlockSize(capacity, with_keys)));
}

Variant* TryAllocateBlock(std::int32_t capacity, bool with_keys) noexcept {
  return static_cast<Variant*>(::operator new(BlockSize(capacity, with_keys), std::nothrow));
}

void DeallocateBlock(Variant* items) noexcept {
  ::operator delete(items);
}

}  // namespace

inline Collection::SlotKey* Collection::KeyWords() const noexcept {
  static_assert(sizeof(SlotKey) == sizeof(std::uint64_t) && alignof(Variant) >= alignof(SlotKey),
                "key words follow the items in their block");
  return reinterpret_cast<SlotKey*>(items_ + capacity_);
}

inline Collection::KeyPool*& Collection::PoolSlot() const noexcept {
  return *reinterpret_cast<KeyPool**>(KeyWords() + capacity_);
}

inline Collection::SlotKey Collection::KeyOf(std::int32_t position) const noexcept {
  switch (key_form_) {
    case KeyForm::kPositional:
      return SlotKey::Integer(position);
    case KeyForm::kStored:
      return KeyWords()[RingIndex(position)];
    default:
      return SlotKey{};
  }
}

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
    if (key_form_ == KeyForm::kStored) KeyOf(position).Free();
    std::destroy_at(&ItemAt(position));
  }
  if (key_form_ == KeyForm::kStored) KeyPool::FreeAll(PoolSlot());
  DeallocateBlock(items_);
}

void Collection::TakeOver(Collection& other) noexcept {
  items_ = std::exchange(other.items_, nullptr);
  capacity_ = std::exchange(other.capacity_, 0);
  head_ = std::exchange(other.head_, 0);
  count_ = std::exchange(other.count_, 0);
  keyed_count_ = std::exchange(other.keyed_count_, 0);
  base_ = std::exchange(other.base_, 0);
  highest_integer_key_ = std::exchange(other.highest_integer_key_, INT32_MIN);
  index_ = std::move(other.index_);
  key_form_ = std::exchange(other.key_form_, KeyForm::kNone);
}

// ---- The classic interface ----------------------------------------------------------------

const Variant& Collection::Item(const Variant& index) const {
  return ItemAt(PositionOf(index));
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
  if (index.Type() == vbLong || index.Type() == vbInteger) {  // the common case, answered at once
    const std::int32_t position = index.Type() == vbLong ? index.AsLong() : index.AsInteger();
    CheckPosition(position);
    return position;
  }
  // An object names what its default member reads.
  const Variant plain = index.IsObject() ? DefaultValue(index) : Variant();
  const Variant& named = index.IsObject() ? plain : index;
  switch (named.Type()) {
    case vbString: {
      const std::int32_t position = Find(Probe::Of(named.AsString()));
      if (position == 0)
        RaiseRuntimeError(err::kInvalidProcedureCall,
                          "no item has the key \"" + std::string(named.AsString()) + "\"");
      return position;
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
  const std::int32_t position = Find(Probe::Of(key));
  if (position == 0) return std::nullopt;
  return position;
}

std::optional<std::string> Collection::KeyAt(std::int32_t position) const {
  std::string text;
  if (!AppendKeyText(position, text)) return std::nullopt;
  return text;
}

bool Collection::AppendKeyText(std::int32_t position, std::string& out) const {
  CheckPosition(position);
  const SlotKey key = KeyOf(position);
  if (key.IsNone()) return false;
  TranslateErrors([key, &out] { key.AppendText(out); });
  return true;
}

// ---- Changes ------------------------------------------------------------------------------

void Collection::Append(Variant item) {
  Prepare(count_ + 1, false, SlotKey{});
  Place(count_ + 1, std::move(item), SlotKey{});
}

void Collection::Append(Variant item, std::string_view key) {
  InsertAt(count_ + 1, std::move(item), key);
}

bool Collection::AppendUnderFreeKey(Variant item, std::string_view key) {
  return AppendUnderFree(std::move(item), Probe::Of(key));
}

bool Collection::AppendUnderFreeKey(Variant item, std::int32_t key) {
  return AppendUnderFree(std::move(item), Probe::Of(key));
}

bool Collection::AppendUnderFree(Variant&& item, const Probe& probe) {
  const bool free = Find(probe) == 0;
  Prepare(count_ + 1, free, probe.word);
  Place(count_ + 1, std::move(item), free ? probe.MakeKey() : SlotKey{});
  return free;
}

void Collection::InsertAt(std::int32_t position, Variant item, std::optional<std::string_view> key) {
  if (position < 1 || position > count_ + 1) RaiseRuntimeError(err::kSubscriptOutOfRange);
  const Probe probe = Probe::Of(key.value_or(std::string_view()));
  if (key && Find(probe) != 0) RaiseRuntimeError(err::kDuplicateKey);
  Prepare(position, key.has_value(), probe.word);
  Place(position, std::move(item), key ? probe.MakeKey() : SlotKey{});
}

void Collection::ReplaceAt(std::int32_t position, Variant item) {
  CheckPosition(position);
  if (key_form_ == KeyForm::kPositional) StoreKeys();  // the new item comes without a key
  // The former item goes only once the collection is whole again.
  const Variant former = std::exchange(ItemAt(position), std::move(item));
  if (key_form_ == KeyForm::kStored)
    DropKey(std::exchange(KeyWords()[RingIndex(position)], SlotKey{}), position);
}

void Collection::RemoveAt(std::int32_t position) {
  CheckPosition(position);
  if (key_form_ == KeyForm::kPositional && position != count_) StoreKeys();  // the later keys stay
  Extract(position);
}

Variant Collection::TakeFirst() {
  if (count_ == 0) RaiseRuntimeError(err::kSubscriptOutOfRange);
  if (key_form_ == KeyForm::kPositional && count_ > 1) StoreKeys();
  return Extract(1);
}

void Collection::Clear() noexcept {
  // The items are released by the emptied-out former state, while this one is already empty.
  Collection former(std::move(*this));
}

void Collection::Reserve(std::int32_t capacity) {
  if (capacity > capacity_) GrowTo(capacity, key_form_ == KeyForm::kStored);
}

Collection Collection::Copy(bool with_keys) const {
  Collection copy;
  const bool copies_keys = with_keys && key_form_ != KeyForm::kNone;
  if (count_ > 0) copy.GrowTo(count_, copies_keys && key_form_ == KeyForm::kStored);
  for (std::int32_t position = 1; position <= count_; ++position) {
    Variant item = TranslateErrors([this, position] { return ItemAt(position); });
    copy.Place(position, std::move(item), copies_keys ? KeyOf(position).Copy() : SlotKey{});
  }
  return copy;
}

// ---- Inner workings -----------------------------------------------------------------------

inline std::uint32_t Collection::OrdinalOf(std::int32_t position) const noexcept {
  return base_ + static_cast<std::uint32_t>(position - 1);
}

void Collection::RaisePositionMissing(std::int32_t position) const {
  RaiseRuntimeError(err::kSubscriptOutOfRange,
                    "no item at position " + std::to_string(position) + " of " + std::to_string(count_));
}

// The position of the item under the key, or 0 when there is none (a plain number keeps the
// hot lookups in registers).
std::int32_t Collection::Find(const Probe& probe) const noexcept {
  if (keyed_count_ == 0) return 0;
  if (key_form_ == KeyForm::kPositional) {
    const std::int32_t number = probe.IsInteger() ? probe.word.AsInteger() : 0;
    return number >= 1 && number <= count_ ? number : 0;
  }
  if (probe.IsInteger() && probe.word.AsInteger() > highest_integer_key_) return 0;
  if (count_ <= kScanLimit || !EnsureIndex()) return Scan(probe);
  auto position_of = [this](std::uint32_t ordinal) { return static_cast<std::int32_t>(ordinal - base_) + 1; };
  const KeyIndex::Entry* entry = index_->Find(
      probe.Hash(), [&](std::uint32_t ordinal) { return probe.Matches(KeyOf(position_of(ordinal))); });
  return entry == nullptr ? 0 : position_of(entry->ordinal);
}

std::int32_t Collection::Scan(const Probe& probe) const noexcept {
  for (std::int32_t position = 1; position <= count_; ++position) {
    if (probe.Matches(KeyOf(position))) return position;
  }
  return 0;
}

// Builds the index of the stored keys when there is none; false when memory for it runs out
// (lookups then scan).
bool Collection::EnsureIndex() const noexcept {
  if (index_ == nullptr) index_ = BuildIndex();
  return index_ != nullptr;
}

// Each stored key's index entry, in order; nothing when memory runs out.
std::unique_ptr<Collection::IndexEntry[]> Collection::KeyEntries() const noexcept {
  std::unique_ptr<KeyIndex::Entry[]> entries(new (std::nothrow)
                                                 KeyIndex::Entry[static_cast<std::size_t>(keyed_count_)]);
  if (entries == nullptr) return nullptr;
  std::size_t entered = 0;
  for (std::int32_t position = 1; position <= count_; ++position) {
    const SlotKey key = KeyOf(position);
    if (!key.IsNone()) entries[entered++] = {KeyIndex::TagOf(key.Hash()), OrdinalOf(position)};
  }
  return entries;
}

bool Collection::SameKeysAt(std::uint32_t ordinal, std::uint32_t other) const noexcept {
  auto position_of = [this](std::uint32_t at) { return static_cast<std::int32_t>(at - base_) + 1; };
  return KeyOf(position_of(ordinal)).SameAs(KeyOf(position_of(other)));
}

// An index of every stored key, or nothing when memory runs out or a key is held twice.
std::unique_ptr<Collection::KeyIndex> Collection::BuildIndex() const noexcept {
  std::unique_ptr<KeyIndex> index(new (std::nothrow) KeyIndex);
  std::unique_ptr<KeyIndex::Entry[]> entries = KeyEntries();
  if (index == nullptr || entries == nullptr || !index->Reserve(static_cast<std::size_t>(keyed_count_)) ||
      !index->InsertAll(entries, static_cast<std::size_t>(keyed_count_),
                        [this](std::uint32_t a, std::uint32_t b) { return SameKeysAt(a, b); })) {
    return nullptr;
  }
  return index;
}

// Whether no key is held twice: false also when memory to tell runs out.
bool Collection::HoldsDistinctKeys() const noexcept {
  if (key_form_ != KeyForm::kStored) return true;
  if (count_ > kScanLimit) {
    std::unique_ptr<KeyIndex::Entry[]> entries = KeyEntries();
    return entries != nullptr &&
           KeyIndex::AllDistinct(entries, static_cast<std::size_t>(keyed_count_),
                                 [this](std::uint32_t a, std::uint32_t b) { return SameKeysAt(a, b); });
  }
  for (std::int32_t position = 2; position <= count_; ++position) {
    const SlotKey key = KeyOf(position);
    for (std::int32_t earlier = 1; earlier < position && !key.IsNone(); ++earlier) {
      if (key.SameAs(KeyOf(earlier))) return false;
    }
  }
  return true;
}

// Appends an item under a key without looking the key up, so that the collection may hold it
// twice until MergeRepeatedKeys; the index goes, to be built again by that merge or a lookup.
void Collection::AppendWithoutLookup(Variant&& item, std::string_view key) {
  index_.reset();
  const Probe probe = Probe::Of(key);
  Prepare(count_ + 1, true, probe.word);
  Place(count_ + 1, std::move(item), probe.word.IsNone() ? CarveKey(probe.text, probe.Hash()) : probe.word);
}

// A block key carved from the key pool. The first chunk has room for four keys of this size,
// each later one twice the room of the one before, up to kLargestPoolChunk bytes and to what
// the ring's free slots could take: a Map with a few long keys wastes little, one with many
// takes few chunks. A longer key has a block of its own.
Collection::SlotKey Collection::CarveKey(std::string_view text, std::uint32_t hash) {
  const std::size_t size = KeyBlock::CarvedSize(text.size());
  if (size > kLargestPoolChunk) return SlotKey::Block(text, hash);
  KeyPool*& pool = PoolSlot();
  if (pool == nullptr || pool->size - pool->used < size) {
    const std::size_t room = pool == nullptr ? 4 * size : 2 * std::size_t{pool->size};
    const std::size_t fits = size * static_cast<std::size_t>(capacity_ - count_);
    pool = KeyPool::Make(pool, std::clamp(std::min(room, fits), size, kLargestPoolChunk));
  }
  auto* block = new (pool->Room()) KeyBlock{hash, static_cast<std::uint32_t>(text.size())};
  if (!text.empty()) std::memcpy(block + 1, text.data(), text.size());
  pool->used += static_cast<std::uint32_t>(size);
  return {reinterpret_cast<std::uintptr_t>(block) | SlotKey::kCarvedBit};
}

// Gives a key held more than once its first place and its last item, and closes up the later
// places: what appending each item in turn gives when an item under a key already present
// replaces that key's item. Only the rare collection that holds a key twice is rebuilt, item
// by item in a ring with room for all; when memory for it runs out (7), nothing changes.
void Collection::MergeRepeatedKeys() {
  if (HoldsDistinctKeys()) return;
  Collection merged;
  merged.GrowTo(count_, true);
  for (std::int32_t position = 1; position <= count_; ++position) {
    const SlotKey key = std::exchange(KeyWords()[RingIndex(position)], SlotKey{});
    const std::int32_t first = key.IsNone() ? 0 : merged.Find(Probe::Of(key));
    if (first == 0) {
      merged.Place(merged.count_ + 1, std::move(ItemAt(position)), key);
    } else {
      merged.ItemAt(first) = std::move(ItemAt(position));
      key.Free();
    }
  }
  merged.PoolSlot() = std::exchange(PoolSlot(), nullptr);  // the carved keys went over
  *this = std::move(merged);
}

// Whether an item placed at `position` under `word` keeps every key its position's number.
bool Collection::KeepsPositionalKeys(std::int32_t position, SlotKey word) const noexcept {
  const bool form_allows = key_form_ == KeyForm::kPositional || (key_form_ == KeyForm::kNone && count_ == 0);
  return form_allows && position == count_ + 1 && word.IsInteger() && word.AsInteger() == position;
}

// Gives every item a stored key word: positional keys become the numbers they stand for.
void Collection::StoreKeys() {
  GrowTo(capacity_, true);
}

void Collection::GrowTo(std::int32_t capacity, bool with_keys) {
  if (capacity > kLargestCapacity) RaiseRuntimeError(err::kOutOfMemory);
  Variant* fresh = TranslateErrors([capacity, with_keys] { return AllocateBlock(capacity, with_keys); });
  MoveTo(fresh, capacity, with_keys);
}

// A ring drained to a quarter gives half of its room back; without memory for the smaller
// ring it simply stays as it is.
void Collection::ShrinkIfSparse() noexcept {
  if (capacity_ <= kShrinkFloor || count_ > capacity_ / 4) return;
  const std::int32_t capacity = capacity_ / 2;
  const bool with_keys = key_form_ == KeyForm::kStored;
  Variant* fresh = TryAllocateBlock(capacity, with_keys);
  if (fresh != nullptr) MoveTo(fresh, capacity, with_keys);
}

void Collection::MoveTo(Variant* fresh, std::int32_t capacity, bool with_keys) noexcept {
  auto* fresh_keys = reinterpret_cast<SlotKey*>(fresh + capacity);
  if (with_keys) {
    *reinterpret_cast<KeyPool**>(fresh_keys + capacity) =
        key_form_ == KeyForm::kStored ? std::exchange(PoolSlot(), nullptr) : nullptr;
  }
  for (std::int32_t position = 1; position <= count_; ++position) {
    Variant& item = ItemAt(position);
    new (&fresh[position - 1]) Variant(std::move(item));
    std::destroy_at(&item);
    if (with_keys) fresh_keys[position - 1] = KeyOf(position);
  }
  DeallocateBlock(items_);
  items_ = fresh;
  capacity_ = capacity;
  head_ = 0;
  if (with_keys) key_form_ = KeyForm::kStored;
}

// Room in the ring for an item at `position`, and a key word for every item when that item
// would break the positional keys: the things an insertion may fail on, done before anything
// changes. A full ring doubles, so appends cost O(1) amortized; Reserve sizes it exactly.
void Collection::Prepare(std::int32_t position, bool keyed, SlotKey word) {
  const bool stores = key_form_ == KeyForm::kStored;
  const bool needs_keys =
      stores || (keyed ? !KeepsPositionalKeys(position, word) : key_form_ == KeyForm::kPositional);
  if (count_ < capacity_ && needs_keys == stores) return;
  if (count_ == kLargestCapacity) RaiseRuntimeError(err::kOutOfMemory);
  std::int32_t capacity = capacity_;
  if (count_ == capacity_) {
    capacity =
        count_ < kFirstCapacity
            ? kFirstCapacity
            : static_cast<std::int32_t>(std::min<std::int64_t>(2 * std::int64_t{count_}, kLargestCapacity));
  }
  GrowTo(capacity, needs_keys);
}

// Opens the gap on the side with fewer items: the raw place at that end takes the nearest
// item, and the items between move one place towards it. Items moved towards the head keep
// their positions while base_ drops by one, so their ordinals drop too; items moved towards
// the tail take the next position. Expects Prepare to have made room and chosen the key form.
void Collection::Place(std::int32_t position, Variant&& item, SlotKey key) noexcept {
  const bool towards_head = position - 1 < count_ - (position - 1);
  if (towards_head) {
    head_ = (head_ == 0 ? capacity_ : head_) - 1;
    --base_;
  }
  const std::int32_t edge = towards_head ? 1 : count_ + 1;
  ++count_;
  const bool stores = key_form_ == KeyForm::kStored;
  if (edge == position) {
    new (&ItemAt(position)) Variant(std::move(item));
  } else {
    const std::int32_t step = towards_head ? 1 : -1;
    new (&ItemAt(edge)) Variant(std::move(ItemAt(edge + step)));
    for (std::int32_t p = edge + step; p != position; p += step) ItemAt(p) = std::move(ItemAt(p + step));
    ItemAt(position) = std::move(item);
    if (stores) {
      SlotKey* words = KeyWords();
      for (std::int32_t p = edge; p != position; p += step) words[RingIndex(p)] = words[RingIndex(p + step)];
    }
    if (towards_head) {
      Renumber(1, position - 1, -1);
    } else {
      Renumber(position + 1, count_, 1);
    }
  }
  if (stores) {
    KeyWords()[RingIndex(position)] = key;
  } else if (!key.IsNone()) {
    key_form_ = KeyForm::kPositional;
  }
  if (!key.IsNone()) Register(key, position);
}

// Closes the gap from the side with fewer items and hands the removed item over, so that it
// is released only once the collection is whole again. Positional keys allow only the last.
Variant Collection::Extract(std::int32_t position) noexcept {
  Variant item = std::move(ItemAt(position));
  const bool stores = key_form_ == KeyForm::kStored;
  DropKey(stores ? std::exchange(KeyWords()[RingIndex(position)], SlotKey{}) : KeyOf(position), position);
  const bool from_head = position - 1 < count_ - position;
  const std::int32_t edge = from_head ? 1 : count_;
  const std::int32_t step = from_head ? -1 : 1;
  for (std::int32_t p = position; p != edge; p += step) ItemAt(p) = std::move(ItemAt(p + step));
  if (stores) {
    SlotKey* words = KeyWords();
    for (std::int32_t p = position; p != edge; p += step) words[RingIndex(p)] = words[RingIndex(p + step)];
  }
  std::destroy_at(&ItemAt(edge));
  if (from_head) {
    head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    ++base_;
    Renumber(1, position - 1, 1);
  } else {
    Renumber(position, count_ - 1, -1);
  }
  --count_;
  if (count_ == 0 && key_form_ == KeyForm::kPositional) key_form_ = KeyForm::kNone;
  ShrinkIfSparse();
  return item;
}

// Moves the index entries of the keys at positions first..last, whose ordinals changed by
// `shift`: a few are found one by one, many are moved in one pass over the table. Entries of
// one hash are interchangeable, so the order of the moves does not matter.
void Collection::Renumber(std::int32_t first, std::int32_t last, std::int32_t shift) noexcept {
  if (index_ == nullptr || first > last) return;
  const auto step = static_cast<std::uint32_t>(shift);
  if (static_cast<std::size_t>(last - first + 1) * kLookupsPerPass > index_->mask + 1) {
    return index_->Shift(OrdinalOf(first) - step, OrdinalOf(last) - step, shift);
  }
  for (std::int32_t position = first; position <= last; ++position) {
    const SlotKey key = KeyOf(position);
    if (!key.IsNone()) index_->Renumber(key.Hash(), OrdinalOf(position) - step, OrdinalOf(position));
  }
}

// Counts a key just placed at `position` and enters it in the index; an index that cannot
// grow is dropped, to be built again by a later lookup.
void Collection::Register(SlotKey key, std::int32_t position) noexcept {
  ++keyed_count_;
  if (key.IsInteger() && key.AsInteger() > highest_integer_key_) highest_integer_key_ = key.AsInteger();
  if (index_ == nullptr) return;
  if (index_->Reserve(static_cast<std::size_t>(keyed_count_))) {
    index_->Insert(key.Hash(), OrdinalOf(position));
  } else {
    index_.reset();
  }
}

void Collection::DropKey(SlotKey key, std::int32_t position) noexcept {
  if (key.IsNone()) return;
  --keyed_count_;
  if (keyed_count_ == 0) {
    index_.reset();
  } else if (index_ != nullptr) {
    index_->Erase(key.Hash(), OrdinalOf(position));
  }
  key.Free();
}

}  // namespace quenlo
