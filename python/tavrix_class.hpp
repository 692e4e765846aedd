// quenlo.Tavrix: the container class with every member of the C++ class.
#pragma once

#include <pybind11/pybind11.h>

namespace quenlo::python {

/// Adds the class Tavrix and the constants of kinds and error numbers to the module.
void BindTavrix(pybind11::module_& module);

}  // namespace quenlo::python
