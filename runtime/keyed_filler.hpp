// KeyedFiller: fills a Collection with keyed items faster than one checked append each.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "quenlo/collection.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

/// Gathers keyed items without looking each key up, and checks the keys all at once when it
/// hands the items over: a key given more than once keeps its first place and takes its last
/// item, as when each later item replaced the earlier one's. Until then nothing else sees the
/// items, so no Collection that others can reach holds a key twice.
class KeyedFiller {
 public:
  void Reserve(std::int32_t capacity) { ReserveKeyed(items_, capacity); }
  void Append(Variant item, std::string_view key) { items_.AppendWithoutLookup(std::move(item), key); }
  /// The items gathered, in order; raises 7 when memory runs out.
  Collection Take() && {
    items_.MergeRepeatedKeys();
    return std::move(items_);
  }

  /// For a reader that refuses a key given twice and fills a collection no one else can reach
  /// yet: appends under `key` without a lookup, so that `items` may hold the key twice until
  /// it asks HoldsDistinctKeys.
  static void AppendUnchecked(Collection& items, Variant item, std::string_view key) {
    items.AppendWithoutLookup(std::move(item), key);
  }
  /// Makes room in `items` for `capacity` items, each with a key word: a Map's first key would
  /// otherwise move a ring reserved without them.
  static void ReserveKeyed(Collection& items, std::int32_t capacity) {
    if (capacity > items.capacity_) items.GrowTo(capacity, true);
  }
  /// Whether no key of `items` is held twice; false also when memory to tell runs out.
  static bool HoldsDistinctKeys(const Collection& items) noexcept { return items.HoldsDistinctKeys(); }

 private:
  Collection items_;
};

}  // namespace quenlo
