// Finding the containers that a Variant holds, for the walks over whole trees that must also
// see containers inside Variant arrays: release, cycle collection and the consistency check.
#pragma once

#include <typeinfo>

#include "quenlo/tavrix.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

/// Calls `visit(container, holder)` for the container `item` holds, or for each one held in the
/// Variant arrays it holds; `holder` is the Variant that refers to the container.
template <class Visit>
void ForEachContainerIn(const Variant& item, const Visit& visit) {
  if (item.IsArray()) {
    for (const Variant& element : item.AsArray()) ForEachContainerIn(element, visit);
    return;
  }
  if (!item.IsObject() || item.AsObject() == nullptr) return;  // Nothing refers to no object
  Object& object = *item.AsObject();
  // Tavrix is final, so its exact type identifies it cheaply.
  if (typeid(object) == typeid(Tavrix)) visit(static_cast<Tavrix&>(object), item);
}

}  // namespace quenlo
