// Printing containers and values on a std::ostream.
#include <ostream>
#include <string>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {

namespace {

// The text operator<< prints; raises when the value has none.
std::string PrintedText(const Variant& value) {
  if (const TavrixPtr container = value.ObjectAs<Tavrix>()) return container->GetObjectString();
  if (!value.IsArray()) return ConcatText(value);
  std::string text = "{";
  for (const Variant& element : value.AsArray()) {
    if (text.size() > 1) text += ", ";
    text += PrintedText(element);
  }
  return text + "}";
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Variant& value) {
  std::string text;
  try {
    text = PrintedText(value);
  } catch (const Error&) {
    text = "<" + TypeName(value) + ">";
  }
  return out << text;
}

std::ostream& operator<<(std::ostream& out, const Tavrix& container) {
  return out << container.GetObjectString();
}

}  // namespace quenlo
