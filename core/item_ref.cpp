// Tavrix::ItemRef: reading and storing an element through operator[], step by step along a
// path of nested containers.
#include <string>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

// One step of a path: ["key"] for a text index, [2] for any other.
std::string StepText(const Variant& index) {
  try {
    return index.IsString() ? "[\"" + std::string(index.AsString()) + "\"]" : "[" + ConcatText(index) + "]";
  } catch (const Error&) {  // an index without text (an array) is refused by the lookup itself
    return "[" + TypeName(index) + "]";
  }
}

}  // namespace

Tavrix::ItemRef Tavrix::operator[](Variant index) {
  return ItemRef(std::static_pointer_cast<Tavrix>(shared_from_this()), std::move(index), {});
}

std::string Tavrix::ItemRef::Path() const {
  return TranslateErrors([&] { return parent_path_ + StepText(index_); });
}

void Tavrix::ItemRef::RaiseWithPath(const Error& error) const {
  std::string context = Path();
  if (!error.Context().empty()) context += ": " + error.Context();
  throw Error(error.Number(), error.Source(), error.Description(), std::move(context));
}

Tavrix::ItemRef& Tavrix::ItemRef::operator=(Variant value) {
  try {
    owner_->Item(index_, std::move(value));
  } catch (const Error& error) {
    RaiseWithPath(error);
  }
  return *this;
}

Variant Tavrix::ItemRef::Get() const {
  try {
    return owner_->Item(index_);
  } catch (const Error& error) {
    RaiseWithPath(error);
  }
}

TavrixPtr Tavrix::ItemRef::Container() const {
  const Variant element = Get();
  TavrixPtr inner = element.ObjectAs<Tavrix>();
  if (!inner) RaiseRuntimeError(element.IsNothing() ? err::kObjectNotSet : err::kObjectRequired, Path());
  return inner;
}

Tavrix::ItemRef Tavrix::ItemRef::operator[](Variant index) const {
  return ItemRef(Container(), std::move(index), Path());
}

Tavrix::ConstIterator Tavrix::ItemRef::begin() const {
  return Container()->begin();
}

Tavrix::ConstIterator Tavrix::ItemRef::end() const {
  return Container()->end();
}

Tavrix::ItemsView Tavrix::ItemRef::Items() const {
  const TavrixPtr map = Container();
  try {
    return map->Items();
  } catch (const Error& error) {
    RaiseWithPath(error);
  }
}

bool operator==(const Tavrix::ItemRef& a, const Variant& b) noexcept {
  try {
    return a.Get() == b;
  } catch (...) {  // an element that is not there equals nothing
    return false;
  }
}

}  // namespace quenlo
