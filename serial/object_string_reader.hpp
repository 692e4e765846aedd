// The reader's token-list path alone, which SetObjectString falls back on: the fuzz target
// compares the two paths. Not part of the public interface.
#pragma once

#include <string_view>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// Reads `text` into `target` as SetObjectString does, always through the token list.
void SetObjectStringFaithfully(Tavrix& target, std::string_view text);

}  // namespace quenlo
