// Tavrix: creation, release, kinds, copying, version and the library's own errors.
#include "quenlo/tavrix.hpp"

#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/access.hpp"
#include "core/callout_guard.hpp"
#include "core/cycle_collector.hpp"
#include "core/member_helpers.hpp"
#include "core/nested_containers.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/version.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

// ---- Creation and release -------------------------------------------------------------

TavrixPtr Tavrix::Create() {
  return TranslateErrors([] {
    TavrixPtr container = std::make_shared<Tavrix>(PrivateTag{});
    CycleCollector::Track(*container);
    return container;
  });
}

Tavrix::Tavrix(PrivateTag) noexcept {}

// Kind and bound sit in the padding at the end of the values collection.
static_assert(sizeof(void*) != 8 || sizeof(Tavrix) == 104, "a container record takes 104 bytes");

namespace {

// Takes the collections of a container that `item` holds the last reference to into `pending`,
// so that releasing a tree needs no recursion.
void AdoptStorage(const Variant& item, std::vector<Collection>& pending) noexcept {
  ForEachContainerIn(item, [&pending](Tavrix& child, const Variant& holder) {
    if (!IdentityRegistry::ClaimReferences(holder.AsObject())) return;
    detail::access::NoteChange(child);
    std::unique_ptr<Collection>& keys = detail::access::keys(child);
    try {
      pending.push_back(std::move(detail::access::values(child)));
      if (keys) pending.push_back(std::move(*keys));
    } catch (const std::bad_alloc&) {
      return;  // this child releases what it still holds
    }
    keys.reset();
  });
}

}  // namespace

// A nested container dying with its last reference would release its own elements in its
// destructor, one stack frame per level. Instead every such child hands its collections to
// this work list before it dies, so a tree of any depth is released by one loop. The list
// allocates only once a child is adopted.
Tavrix::~Tavrix() {
  CycleCollector::Untrack(*this);
  if (tagged_) Tag(std::string());  // the tag leaves with its container
  std::vector<Collection> pending;
  // Each element stays where it is, and dies with its collection; a child whose storage was
  // adopted dies with nothing left to release. The next element's object is asked for early:
  // the objects of a tree lie far apart in memory.
  const auto release = [&pending](Collection& collection) noexcept {
    const std::int32_t count = collection.Count();
    for (std::int32_t position = 1; position <= count; ++position) {
      if (position < count) {
        const Variant& next = collection.At(position + 1);
        if (next.IsObject()) __builtin_prefetch(next.AsObject().get());
      }
      AdoptStorage(collection.At(position), pending);
    }
  };
  release(values_);
  if (keys_) release(*keys_);
  while (!pending.empty()) {
    Collection collection = std::move(pending.back());
    pending.pop_back();
    release(collection);
  }
}

// ---- Kinds ----------------------------------------------------------------------------

void Tavrix::ReplaceStorage(Collection values, std::unique_ptr<Collection> keys) noexcept {
  NoteChange();
  std::swap(values_, values);
  keys_.swap(keys);
}

void Tavrix::SetMap() {
  ReplaceStorage(Collection(), nullptr);
  kind_ = KindMap;
}

void Tavrix::SetVariant() {
  ReplaceStorage(Collection(), nullptr);
  kind_ = KindVariant;
}

void Tavrix::SetStack() {
  ReplaceStorage(Collection(), nullptr);
  kind_ = KindStack;
}

void Tavrix::SetQueue() {
  ReplaceStorage(Collection(), nullptr);
  kind_ = KindQueue;
}

void Tavrix::SetNil() {
  ReplaceStorage(Collection(), nullptr);
  kind_ = KindNil;
}

void Tavrix::SetArray(const Variant& UpperBound) {
  TranslateErrors([&] {
    // Converted before anything changes: an unconvertible bound leaves the container as it was.
    CalloutGuard guard(*this);
    const std::int32_t upper_bound =
        guard.WithPlain(UpperBound, [](const Variant& named) { return CLng(named); });
    ReplaceStorage(Collection(), nullptr);
    bound_ = upper_bound;
    kind_ = upper_bound < 0 ? KindUnboundedArray : KindBoundedArray;
  });
}

void Tavrix::SetSet(std::span<const Variant> Members) {
  TranslateErrors([&] {
    Collection members;
    members.Reserve(static_cast<std::int32_t>(Members.size()));
    std::int32_t position = 0;
    for (const Variant& member : Members) {
      ++position;
      members.Append(member, std::to_string(position));
    }
    ReplaceStorage(std::move(members), nullptr);
    bound_ = position;
    kind_ = KindSet;
  });
}

// ---- Copying --------------------------------------------------------------------------

namespace {

// Makes `target` a one-level copy of `Data`: Kind, Bound and the elements, not Tag.
void CopyContents(Tavrix& target, const Tavrix& Data) {
  using detail::access;
  // A Map keeps each value under its key's text; every other kind's copies lose their keys.
  const bool is_map = Data.Kind() == KindMap;
  Collection values = access::values(Data).Copy(is_map);
  std::unique_ptr<Collection> keys;
  if (is_map && access::keys(Data)) keys = std::make_unique<Collection>(access::keys(Data)->Copy(false));
  const TavrixKind kind = Data.Kind();
  const std::int32_t bound = Data.Bound();
  // Data may be one of this container's elements: it is read completely before the former
  // elements go.
  access::ReplaceStorage(target, std::move(values), std::move(keys));
  access::kind(target) = kind;
  access::bound(target) = bound;
}

}  // namespace

Variant Tavrix::Become(const TavrixPtr& Data) {
  return TranslateErrors([&] {
    if (!Data) RaiseRuntimeError(err::kObjectNotSet);
    if (Data.get() != this) CopyContents(*this, *Data);
    return Variant();
  });
}

TavrixPtr Tavrix::Clone() const {
  return TranslateErrors([&] {
    TavrixPtr copy = Create();
    CopyContents(*copy, *this);
    return copy;
  });
}

// ---- Tag -------------------------------------------------------------------------------

namespace {

// The tags of all containers. Few containers have one, so the text is kept here rather than in
// every container's record; a container's flag says whether to look. The map's entries stay
// where they are while others come and go, so a tag read stays valid until its own container
// sets it again.
struct Tags {
  std::mutex mutex;
  std::unordered_map<const Tavrix*, std::string> texts;
};

// Never destroyed, so that containers released during static destruction can still leave it.
Tags& AllTags() {
  static Tags* const tags = new Tags;
  return *tags;
}

}  // namespace

bool TagKept(const Tavrix& container) {
  Tags& tags = AllTags();
  const std::lock_guard lock(tags.mutex);
  return tags.texts.contains(&container);
}

const std::string& Tavrix::Tag() const noexcept {
  static const std::string kNoTag;
  if (!tagged_) return kNoTag;
  Tags& tags = AllTags();
  const std::lock_guard lock(tags.mutex);
  return tags.texts.find(this)->second;
}

void Tavrix::Tag(std::string value) {
  const bool tagging = !value.empty();
  if (!tagging && !tagged_) return;
  Tags& tags = AllTags();
  const std::lock_guard lock(tags.mutex);
  if (tagging) {
    TranslateErrors([&] { tags.texts.insert_or_assign(this, std::move(value)); });
  } else {
    tags.texts.erase(this);
  }
  tagged_ = tagging;
}

// ---- Version and errors ------------------------------------------------------

std::string Tavrix::Version() {
  return QUENLO_VERSION_STRING;
}

namespace {

std::string_view GetErrorText(std::int32_t number) noexcept {
  switch (number) {
    case ErrSubscriptOutOfRange:
      return "Subscript out of range";
    case ErrDuplicateValue:
      return "Duplicate value not allowed";
    case ErrInvalidOperation:
      return "Operation not valid for this data type";
    default:
      return "Unknown Error";
  }
}

}  // namespace

void Raise(std::int32_t number) {
  throw Error(number, "Tavrix", std::string(GetErrorText(number)));
}

void Tavrix::RequireKind(bool served) const {
  if (!served) Raise(ErrInvalidOperation);
}

}  // namespace quenlo
