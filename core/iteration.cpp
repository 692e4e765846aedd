// Tavrix: iteration over the elements, and over a Map's keys and values.
#include <string>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

Tavrix::ConstIterator Tavrix::begin() const {
  auto self = std::static_pointer_cast<const Tavrix>(shared_from_this());
  const std::int32_t count = values_.Count();
  return ConstIterator(std::move(self), 1, count);
}

Tavrix::ConstIterator Tavrix::end() const {
  const std::int32_t count = values_.Count();
  return ConstIterator(nullptr, count + 1, count);
}

Tavrix::ItemsView Tavrix::Items() const {
  RequireKind(kind_ == KindMap);
  return ItemsView(std::static_pointer_cast<const Tavrix>(shared_from_this()));
}

void Tavrix::ConstIterator::RequireUnchanged() const {
  if (!owner_ || position_ > count_) RaiseRuntimeError(err::kSubscriptOutOfRange, "past the last element");
  if (owner_->kind_ != kind_ || owner_->values_.Count() != count_) {
    RaiseRuntimeError(err::kArrayLocked, "the container changed while it was iterated, at position " +
                                             std::to_string(position_));
  }
}

const Variant& Tavrix::ConstIterator::operator*() const {
  RequireUnchanged();
  TranslateErrors([&] { current_ = owner_->values_.At(position_); });
  return current_;
}

Tavrix::ConstIterator& Tavrix::ConstIterator::operator++() {
  RequireUnchanged();
  ++position_;
  return *this;
}

const KeyValue& Tavrix::ItemsView::Iterator::operator*() const {
  const Variant& value = *elements_;
  TranslateErrors([&] {
    current_.key = elements_.owner_->MapKeyAt(elements_.position_);
    current_.value = value;
  });
  return current_;
}

}  // namespace quenlo
