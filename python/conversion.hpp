// Conversions between Python values and Variants or container trees.
#pragma once

#include <pybind11/pybind11.h>

#include "quenlo/tavrix.hpp"
#include "serial/object_string_reader.hpp"

namespace quenlo::python {

namespace py = pybind11;

/// The UTF-8 bytes of a Python str; the surrogate escapes that TextToPython makes of bytes that
/// are not UTF-8 become those bytes again. The bytes stay valid while the str lives.
class Utf8Text {
 public:
  explicit Utf8Text(const py::handle& text);
  std::string_view View() const noexcept { return view_; }

 private:
  py::object encoded_;  // only for a text with surrogate escapes
  std::string_view view_;
};

/// A UTF-8 text as a Python str; bytes that are not UTF-8 become surrogate escapes.
py::object TextToPython(std::string_view text);

/// Finds the small types of quenlo._types, decimal.Decimal and the datetime types; called once
/// when the module is loaded.
void LoadPythonTypes();

/// A Python value as a Variant: scalars by the mapping table; a dict, a list, an Array, a Set, a
/// Stack, a Queue or Nil as a new container; a Tavrix as itself (shared); a tuple as a Variant
/// array. Raises TypeError for a value of any other type.
Variant ToVariant(py::handle value);

/// A Variant as a Python value: scalars by the mapping table, a container as its Tavrix object
/// (shared), a Variant array as a tuple.
py::object ToPython(const Variant& value);

/// The container a value is written as: a Tavrix itself, a dict, list or the like as a new
/// container, anything else in a new Variant-kind container.
TavrixPtr ToTree(py::handle value);

/// An object string as plain Python values: every container the text describes becomes a dict, a
/// list, a Set, a Stack or a Queue (Nil: quenlo.Nil); a top-level Variant-kind container gives
/// its value; a container the text names by its identity number stays the Tavrix object it is.
/// Called with the GIL held; `text` is split without it. Raises the reader's errors.
py::object ReadPlainValues(std::string_view text, OffsetUnit unit);

/// The elements of a container in storage order (none for Nil, the value of a Variant-kind
/// container when it holds one), without changing it.
std::vector<Variant> ElementsOf(const Tavrix& container);

}  // namespace quenlo::python
