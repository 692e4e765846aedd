// Printing containers and values on a std::ostream. Included by tavrix.hpp; operator<< for a
// Variant is declared in variant.hpp.
#pragma once

#include <iosfwd>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// Prints the object string of a container. Raises what GetObjectString raises (28 for a tree
/// nested too deep), so that a tree is never printed cut short.
QUENLO_EXPORT std::ostream& operator<<(std::ostream& out, const Tavrix& container);

}  // namespace quenlo
