// Tavrix: Push and Pop. Position 1 of a Stack or a Queue is always the next element to leave.
#include "core/member_helpers.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

void Tavrix::Push(const Variant& Data) {
  TranslateErrors([&] {
    RequireKind(kind_ == KindStack || kind_ == KindQueue);
    NoteChange();
    if (kind_ == KindStack) {
      values_.InsertAt(1, Data);
    } else {
      values_.Append(Data);
    }
  });
}

Variant Tavrix::Pop() {
  return TranslateErrors([&] {
    RequireKind(kind_ == KindStack || kind_ == KindQueue);
    if (values_.Count() == 0) Raise(ErrSubscriptOutOfRange);
    NoteChange();
    return values_.TakeFirst();
  });
}

}  // namespace quenlo
