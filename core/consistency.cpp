// Tavrix::FindInconsistency: the rules of the container record checked over a whole tree, for
// diagnosis and for the fuzz targets.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/member_helpers.hpp"
#include "core/nested_containers.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

// The fields of a container that the rules read.
struct Record {
  const Collection& values;
  const Collection* keys;  // a Map's keys as given, when it keeps them
  TavrixKind kind;
  std::int32_t bound;
  bool tagged;    // the record's flag
  bool tag_kept;  // whether a tag is kept beside the container
};

std::string KindName(TavrixKind kind) {
  switch (kind) {
    case KindMap:
      return "Map";
    case KindBoundedArray:
      return "bounded Array";
    case KindUnboundedArray:
      return "unbounded Array";
    case KindVariant:
      return "Variant";
    case KindNil:
      return "Nil";
    case KindSet:
      return "Set";
    case KindStack:
      return "Stack";
    case KindQueue:
      return "Queue";
  }
  return "kind " + std::to_string(static_cast<std::int32_t>(kind));
}

// Every keyed item of a collection is found again under its key.
std::string BrokenKeying(const Collection& collection, const char* name) {
  for (std::int32_t position = 1; position <= collection.Count(); ++position) {
    const std::optional<std::string> key = collection.KeyAt(position);
    if (key && collection.FindKey(*key) != position) {
      return name + std::string(" item ") + std::to_string(position) + " is not found under its key \"" +
             *key + "\"";
    }
  }
  return "";
}

// The key text a Map entry's value must be stored under, or nothing when it cannot be known
// afresh: the text of an object key is its default member, which may have changed since.
std::optional<std::string> ExpectedKeyText(const Variant& key) {
  if (key.IsObject()) return std::nullopt;
  try {
    return CStr(key);
  } catch (const Error&) {
    return std::nullopt;
  }
}

// Every value of a Map has a key. When the Map keeps its keys as given, Keys and Values hold
// the same number of items, and the value at each position is stored under the text of the
// key at that position.
std::string BrokenMapPairing(const Collection& values, const Collection* keys) {
  if (keys != nullptr && values.Count() != keys->Count()) {
    return "Keys holds " + std::to_string(keys->Count()) + " items, Values " + std::to_string(values.Count());
  }
  for (std::int32_t position = 1; position <= values.Count(); ++position) {
    const std::optional<std::string> stored = values.KeyAt(position);
    const std::string at = " at position " + std::to_string(position);
    if (!stored) return "the Values item" + at + " has no key";
    if (keys == nullptr) continue;
    const std::optional<std::string> expected = ExpectedKeyText(keys->At(position));
    if (expected && *expected != *stored) {
      return "the Values item" + at + " is stored under \"" + *stored + "\", its key reads \"" + *expected +
             "\"";
    }
  }
  return "";
}

std::string BrokenStorage(const Record& record) {
  const bool is_nil = record.kind == KindNil;
  const bool is_map = record.kind == KindMap;
  if (is_nil && record.values.Count() > 0) return "Nil holds Values";
  if (record.keys != nullptr && !is_map) return "Keys is present";
  return "";
}

// A tag is kept beside the container exactly when its record's flag says so.
std::string BrokenTag(const Record& record) {
  if (record.tagged == record.tag_kept) return "";
  return record.tagged ? "the tag's flag is set and no tag is kept"
                       : "a tag is kept and the tag's flag is clear";
}

std::string BrokenBound(const Record& record) {
  const std::int32_t count = record.values.Count();
  if (record.kind == KindBoundedArray && (record.bound < 0 || count > record.bound)) {
    return std::to_string(count) + " elements within Bound " + std::to_string(record.bound);
  }
  if (record.kind == KindUnboundedArray && record.bound >= 0) return "Bound " + std::to_string(record.bound);
  return "";
}

// A Stack or a Queue stores its elements without keys.
std::string BrokenSequenceKeys(const Record& record) {
  if (record.kind != KindStack && record.kind != KindQueue) return "";
  for (std::int32_t position = 1; position <= record.values.Count(); ++position) {
    if (record.values.KeyAt(position)) return "element " + std::to_string(position) + " has a key";
  }
  return "";
}

// The first rule the record breaks, or "".
std::string BrokenRule(const Record& record) {
  if (record.kind < KindMap || record.kind > KindQueue) return "the kind is unknown";
  for (const auto check : {BrokenStorage, BrokenBound, BrokenTag}) {
    if (std::string broken = check(record); !broken.empty()) return broken;
  }
  if (std::string broken = BrokenKeying(record.values, "Values"); !broken.empty()) return broken;
  if (record.keys != nullptr) {
    if (std::string broken = BrokenKeying(*record.keys, "Keys"); !broken.empty()) return broken;
  }
  if (record.kind == KindMap) return BrokenMapPairing(record.values, record.keys);
  return BrokenSequenceKeys(record);
}

// A container the walk has met, and how it was reached: through the item at `position` of
// its parent's Values, or of its Keys.
struct Visit {
  const Tavrix* container;
  std::size_t parent;
  std::int32_t position;
  bool through_keys;
};
constexpr std::size_t kRoot = static_cast<std::size_t>(-1);
constexpr std::size_t kMostPathSteps = 16;

// "root/3/k1/2": the positions from the root down to visits[at]; a key position is marked "k".
// A deep path keeps only its last steps.
std::string PathOf(const std::vector<Visit>& visits, std::size_t at) {
  std::vector<std::string> steps;
  std::size_t depth = 0;
  for (std::size_t index = at; visits[index].parent != kRoot; index = visits[index].parent) {
    ++depth;
    if (steps.size() < kMostPathSteps) {
      steps.push_back((visits[index].through_keys ? "k" : "") + std::to_string(visits[index].position));
    }
  }
  std::string path = depth > steps.size() ? "root/.../" : "root/";
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) path += *step + "/";
  path.pop_back();
  if (depth > steps.size()) path += " (depth " + std::to_string(depth) + ")";
  return path;
}

// Queues every container that `item` holds, and those in the arrays it holds, not met before.
void QueueContainers(const Variant& item, const Visit& from, std::vector<Visit>& visits,
                     std::unordered_set<const Tavrix*>& met) {
  ForEachContainerIn(item, [&](const Tavrix& container, const Variant&) {
    if (met.insert(&container).second)
      visits.push_back(Visit{&container, from.parent, from.position, from.through_keys});
  });
}

void QueueItemsOf(const Collection& collection, std::size_t parent, bool through_keys,
                  std::vector<Visit>& visits, std::unordered_set<const Tavrix*>& met) {
  for (std::int32_t position = 1; position <= collection.Count(); ++position) {
    QueueContainers(collection.At(position), Visit{nullptr, parent, position, through_keys}, visits, met);
  }
}

}  // namespace

std::string Tavrix::FindInconsistency() const {
  // The one place that reads the private fields; everything else works on the Record.
  const auto record_of = [](const Tavrix& container) {
    return Record{container.values_, container.keys_.get(), container.kind_,
                  container.bound_,  container.tagged_,     TagKept(container)};
  };
  // Breadth first over a list of visits rather than by recursion: trees may be very deep.
  std::vector<Visit> visits{Visit{this, kRoot, 0, false}};
  std::unordered_set<const Tavrix*> met{this};
  for (std::size_t next = 0; next < visits.size(); ++next) {
    const Record record = record_of(*visits[next].container);
    if (std::string broken = BrokenRule(record); !broken.empty()) {
      return KindName(record.kind) + " at " + PathOf(visits, next) + ": " + broken;
    }
    QueueItemsOf(record.values, next, false, visits, met);
    if (record.keys) QueueItemsOf(*record.keys, next, true, visits, met);
  }
  return "";
}

}  // namespace quenlo
