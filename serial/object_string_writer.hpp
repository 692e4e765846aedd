// The object string writer, for the members that write a tree's text.
#pragma once

#include <string>

#include "quenlo/tavrix.hpp"

namespace quenlo {

class ReadBackCheck;

/// Appends the object string of `container` and everything nested in it to `out`, telling
/// `check`, when given, of every key and value text.
void WriteObjectString(const Tavrix& container, std::string& out, ReadBackCheck* check = nullptr);

/// Tells `check` of every key and value text of the object string of `container`, without
/// keeping the text.
void CheckObjectString(const Tavrix& container, ReadBackCheck& check);

}  // namespace quenlo
