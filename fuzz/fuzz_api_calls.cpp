// Decodes the input into a sequence of calls on a small pool of containers, which may hold one
// another and themselves. Errors are part of the game; after every call each container of the
// pool, and everything it reaches, must keep the rules of the container record. Collecting
// cycles must not touch what the pool holds; at the end the pool is dropped, and once its
// cycles are collected no container made by the run may be left. Some values are objects of
// the caller's own whose default member first changes a container of the pool: a call that
// reads one either finishes or stops with error 10, and then has changed nothing more than the
// object did.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace {

using quenlo::Tavrix;
using quenlo::TavrixPtr;
using quenlo::Variant;

constexpr std::size_t kPoolSize = 4;
// Containers that hold one another many times are written as trees that grow with the product
// of their element counts, every copy doubles what it copies, and a text read back turns those
// trees into containers that hold the pool again: bounds on all three keep each input fast.
constexpr int kMostCalls = 64;
constexpr int kMostCopies = 4;
constexpr std::size_t kMostTextReadBack = 4096;

enum class Call : std::uint8_t {
  kSetMap,
  kSetArray,
  kSetVariant,
  kSetNil,
  kSetSet,
  kSetStack,
  kSetQueue,
  kStoreItem,
  kReadItem,
  kAddLast,
  kAddFirst,
  kInsert,
  kRemove,
  kRemoveAll,
  kPush,
  kPop,
  kBecome,
  kBecomeNothing,
  kClone,
  kGetKeys,
  kFind,
  kExists,
  kLength,
  kRoundTrip,
  kDebugPrint,
  kCollectCycles,
  kTag,
  kMaxValue = kTag,
};

// What the default member of a caller's object does to a container of the pool.
enum class Meddling : std::uint8_t {
  kSetMap,
  kSetNil,
  kSetArray,
  kSetVariant,
  kRemoveAll,
  kStoreFirst,
  kAddLast,
  kMaxValue = kAddLast,
};

class Session;

// A caller's object that reads as a plain value, and changes a container of the pool first.
class Meddler final : public quenlo::Object {
 public:
  Meddler(Session& session, std::size_t target, Meddling meddling, Variant reads_as)
      : session_(session), target_(target), meddling_(meddling), reads_as_(std::move(reads_as)) {}
  bool HasDefaultMember() const noexcept override { return true; }
  Variant DefaultMember() const override;

 private:
  Session& session_;
  std::size_t target_;
  Meddling meddling_;
  Variant reads_as_;
};

constexpr std::array<const char*, static_cast<std::size_t>(Call::kMaxValue) + 1> kCallNames = {
    "SetMap",     "SetArray",      "SetVariant", "SetNil",  "SetSet",   "SetStack",
    "SetQueue",   "Item (store)",  "Item",       "AddLast", "AddFirst", "Insert",
    "Remove",     "RemoveAll",     "Push",       "Pop",     "Become",   "Become (nothing)",
    "Clone",      "GetKeys",       "Find",       "Exists",  "Length",   "SetObjectString of GetObjectString",
    "DebugPrint", "CollectCycles", "Tag"};

class Session {
 public:
  Session(const std::uint8_t* data, std::size_t size) : input_(data, size) {
    for (TavrixPtr& container : pool_) container = Made(Tavrix::Create());
  }

  void Run() {
    for (int call = 0; call < kMostCalls && input_.remaining_bytes() > 0; ++call) {
      const auto which = input_.ConsumeEnum<Call>();
      const TavrixPtr target = pool_[ConsumePoolIndex()];
      current_target_ = target.get();
      meddlings_ = 0;
      try {
        Perform(which, *target);
      } catch (const quenlo::Error& error) {
        // Refused calls are expected; they must leave everything consistent all the same.
        if (error.Number() == quenlo::err::kArrayLocked) RequireStoppedAfterMeddling(*target, which);
      }
      current_target_ = nullptr;
      for (const TavrixPtr& container : pool_) {
        quenlo::fuzz::RequireConsistent(*container, kCallNames[static_cast<std::size_t>(which)]);
      }
    }
  }

  // What a caller's object does when a call reads it: it changes a container of the pool, and
  // the text of the call's target is noted.
  void Meddle(std::size_t index, Meddling meddling) {
    if (quiet_) return;
    ++meddlings_;
    Tavrix& container = *pool_[index];
    try {
      switch (meddling) {
        case Meddling::kSetMap:
          container.SetMap();
          break;
        case Meddling::kSetNil:
          container.SetNil();
          break;
        case Meddling::kSetArray:
          container.SetArray();
          break;
        case Meddling::kSetVariant:
          container.SetVariant();
          break;
        case Meddling::kRemoveAll:
          container.RemoveAll();
          break;
        case Meddling::kStoreFirst:
          container.Item(1, "meddled");
          break;
        case Meddling::kAddLast:
          container.AddLast(meddlings_);
          break;
      }
    } catch (const quenlo::Error&) {
      // a refused change changes nothing
    }
    if (current_target_ != nullptr) text_after_meddling_ = TextOf(*current_target_);
  }

  // A call stopped with error 10 only because a caller's object changed a container, and did
  // nothing to its target after that.
  void RequireStoppedAfterMeddling(const Tavrix& target, Call which) {
    const std::string call = kCallNames[static_cast<std::size_t>(which)];
    if (meddlings_ == 0) quenlo::fuzz::Fail(call + " raised 10 with no caller's object read");
    if (TextOf(target) != text_after_meddling_)
      quenlo::fuzz::Fail(call + " changed its target after a caller's object did");
  }

  void DropPoolAndCollectCycles() {
    pool_.fill(nullptr);
    Tavrix::CollectCycles();
    for (const std::weak_ptr<Tavrix>& made : made_) {
      if (!made.expired()) quenlo::fuzz::Fail("a container of the run outlived the collection of cycles");
    }
  }

 private:
  void Perform(Call which, Tavrix& target) {
    switch (which) {
      case Call::kSetMap:
        return target.SetMap();
      case Call::kSetArray:
        return target.SetArray(input_.ConsumeBool() ? ConsumeValue() : Variant(ConsumeSmallNumber()));
      case Call::kSetVariant:
        return target.SetVariant();
      case Call::kSetNil:
        return target.SetNil();
      case Call::kSetSet:
        return target.SetSet(ConsumeValues());
      case Call::kSetStack:
        return target.SetStack();
      case Call::kSetQueue:
        return target.SetQueue();
      case Call::kCollectCycles:
        return CollectCyclesKeepingThePool();
      case Call::kTag:  // an empty text takes the tag away
        return target.Tag(input_.ConsumeRandomLengthString(8));
      default:
        return PerformOnElements(which, target);
    }
  }

  void PerformOnElements(Call which, Tavrix& target) {
    switch (which) {
      case Call::kStoreItem: {
        const Variant index = ConsumeIndex();
        return target.Item(index, ConsumeValue());
      }
      case Call::kReadItem:
        return (void)target.Item(ConsumeIndex());
      case Call::kAddLast:
        return (void)target.AddLast(ConsumeValue());
      case Call::kAddFirst:
        return (void)target.AddFirst(ConsumeValue());
      case Call::kInsert: {
        const Variant index = ConsumeIndex();
        return target.Insert(index, ConsumeValue());
      }
      case Call::kRemove:
        return (void)target.Remove(ConsumeIndex());
      case Call::kRemoveAll:
        return target.RemoveAll();
      case Call::kPush:
        return target.Push(ConsumeValue());
      case Call::kPop:
        return (void)target.Pop();
      case Call::kFind: {
        const Variant data = ConsumeValue();
        return (void)target.Find(data, ConsumeSmallNumber());
      }
      case Call::kExists:
        return (void)target.Exists(ConsumeValue());
      case Call::kLength:
        return (void)target.Length();
      case Call::kDebugPrint:
        return (void)target.DebugPrint();
      default:
        return PerformCopy(which, target);
    }
  }

  // The calls that copy elements or make new containers; past the budget they are skipped.
  void PerformCopy(Call which, Tavrix& target) {
    const std::size_t other = ConsumePoolIndex();
    if (which == Call::kBecomeNothing) return (void)target.Become(nullptr);
    if (copies_ == kMostCopies) return;
    ++copies_;
    switch (which) {
      case Call::kBecome:
        return (void)target.Become(pool_[other]);
      case Call::kClone:  // the container replaced lives on where anything holds it
        pool_[other] = Made(target.Clone());
        return;
      case Call::kGetKeys:
        pool_[other] = Made(target.GetKeys());
        return;
      case Call::kRoundTrip: {
        const std::string text = pool_[other]->GetObjectString();
        if (text.size() <= kMostTextReadBack) target.SetObjectString(text);
        return;
      }
      default:
        return;
    }
  }

  // Everything the pool holds is reachable, so a collection must leave it as it was.
  void CollectCyclesKeepingThePool() {
    std::array<std::string, kPoolSize> before;
    for (std::size_t index = 0; index < kPoolSize; ++index) before[index] = TextOf(*pool_[index]);
    Tavrix::CollectCycles();
    for (std::size_t index = 0; index < kPoolSize; ++index) {
      if (TextOf(*pool_[index]) != before[index])
        quenlo::fuzz::Fail("CollectCycles changed a container of the pool");
    }
  }

  // The object string, or the error that refused it (an empty Variant-kind container, say).
  // Writing a Map key that is a caller's object reads it: the objects keep still meanwhile.
  std::string TextOf(const Tavrix& container) {
    const bool was_quiet = std::exchange(quiet_, true);
    std::string text;
    try {
      text = container.GetObjectString();
    } catch (const quenlo::Error& error) {
      text = "error " + std::to_string(error.Number());
    }
    quiet_ = was_quiet;
    return text;
  }

  TavrixPtr Made(TavrixPtr container) {
    made_.push_back(container);
    return container;
  }

  std::size_t ConsumePoolIndex() { return input_.ConsumeIntegralInRange<std::size_t>(0, kPoolSize - 1); }

  int ConsumeSmallNumber() { return input_.ConsumeIntegralInRange(-2, 6); }

  // Positions near the ends, keys that collide with the texts of positions, and odd indexes.
  Variant ConsumeIndex() {
    switch (input_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return ConsumeSmallNumber();
      case 1:
        return Variant::String(input_.ConsumeRandomLengthString(4));
      case 2:
        return input_.ConsumeIntegralInRange(0, 8) / 2.0;
      default:
        return ConsumeValue();
    }
  }

  // Scalars of several types, texts that may hold the marks of the object string, and the
  // containers of the pool, the target itself included.
  Variant ConsumeValue() {
    switch (input_.ConsumeIntegralInRange(0, 10)) {
      case 0:
        return ConsumeSmallNumber();
      case 1:
        return Variant::Long(input_.ConsumeIntegral<std::int32_t>());
      case 2:
        return input_.ConsumeFloatingPoint<double>();
      case 3:
        return Variant::String(input_.ConsumeRandomLengthString(12));
      case 4:
        return Variant::Null();
      case 5:
        return Variant();
      case 6:
        return input_.ConsumeBool();
      case 7:
        return Variant::Array({ConsumeSmallNumber(), pool_[ConsumePoolIndex()]});
      case 8:
        return ConsumeMeddler();
      default:
        return pool_[ConsumePoolIndex()];
    }
  }

  // A caller's object that reads as a small number or a short text.
  Variant ConsumeMeddler() {
    const std::size_t target = ConsumePoolIndex();
    const auto meddling = input_.ConsumeEnum<Meddling>();
    Variant reads_as = input_.ConsumeBool() ? Variant(ConsumeSmallNumber())
                                            : Variant::String(input_.ConsumeRandomLengthString(4));
    return std::make_shared<Meddler>(*this, target, meddling, std::move(reads_as));
  }

  std::vector<Variant> ConsumeValues() {
    std::vector<Variant> values(input_.ConsumeIntegralInRange<std::size_t>(0, 3));
    for (Variant& value : values) value = ConsumeValue();
    return values;
  }

  FuzzedDataProvider input_;
  std::array<TavrixPtr, kPoolSize> pool_;
  std::vector<std::weak_ptr<Tavrix>> made_;  // every container the calls made
  int copies_ = 0;
  // The call under way: its target, how often caller's objects changed the pool during it, and
  // the target's text after the last change.
  const Tavrix* current_target_ = nullptr;
  int meddlings_ = 0;
  std::string text_after_meddling_;
  bool quiet_ = false;  // while the run itself reads the pool
};

Variant Meddler::DefaultMember() const {
  session_.Meddle(target_, meddling_);
  return reads_as_;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Session session(data, size);
  session.Run();
  session.DropPoolAndCollectCycles();
  return 0;
}
