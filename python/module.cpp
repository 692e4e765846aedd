// The extension quenlo._quenlo: loads, dumps, load and dump, the Tavrix class, the constants,
// and quenlo.Error for every error of the library.
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

#include "python/conversion.hpp"
#include "python/tavrix_class.hpp"
#include "python/tree_lock.hpp"
#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/tavrix.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo::python {

std::shared_mutex& TreeLock() {
  static std::shared_mutex lock;
  return lock;
}

namespace {

// Files hold Windows-1252 text unless told otherwise, as the quenlo tool does.
bool IsUtf8(const std::string& encoding) {
  if (encoding == "utf-8") return true;
  if (encoding == "windows-1252") return false;
  throw py::value_error("encoding must be \"windows-1252\" or \"utf-8\", not \"" + encoding + "\"");
}

std::string PathText(const py::handle& path) {
  return py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>();
}

py::object Loads(const py::str& text) {
  const Utf8Text utf8(text);
  return ReadPlainValues(utf8.View(), OffsetUnit::kTextBytes);
}

py::object Dumps(const py::handle& value) {
  const TavrixPtr tree = ToTree(value);
  return TextToPython(WithoutGil([&] { return tree->GetObjectString(); }));
}

// A file holds UTF-8 text, or Windows-1252 text read as Import reads it.
py::object Load(const py::handle& path, const std::string& encoding) {
  const std::string filename = PathText(path);
  const bool utf8 = IsUtf8(encoding);
  const std::string text =
      WithoutGil([&] { return utf8 ? ReadFileBytes(filename) : ReadTextFile(filename); });
  return ReadPlainValues(text, utf8 ? OffsetUnit::kTextBytes : OffsetUnit::kFileBytes);
}

void Dump(const py::handle& value, const py::handle& path, const std::string& encoding) {
  const std::string filename = PathText(path);
  const bool utf8 = IsUtf8(encoding);
  const TavrixPtr tree = ToTree(value);
  WithoutGil([&] {
    if (utf8) {
      WriteFileBytes(filename, tree->GetObjectString());
    } else {
      tree->Export(filename);
    }
  });
}

void TranslateErrors(py::module_& module) {
  static py::object error_class = py::module_::import("quenlo._types").attr("Error");
  py::register_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const Error& error) {
      const py::object instance =
          error_class(error.Number(), error.Source(), error.Description(), TextToPython(error.Context()));
      PyErr_SetObject(error_class.ptr(), instance.ptr());
    }
  });
  module.attr("Error") = error_class;
}

}  // namespace
}  // namespace quenlo::python

PYBIND11_MODULE(_quenlo, module) {
  using namespace quenlo;
  using namespace quenlo::python;
  module.doc() = "The C++ side of the quenlo package.";
  LoadPythonTypes();
  TranslateErrors(module);
  BindTavrix(module);

  module.def("loads", &Loads, py::arg("text"),
             "The Python value of an object string: the tree it describes as plain values.");
  module.def("dumps", &Dumps, py::arg("value"), "The object string of a Python value.");
  module.def("load", &Load, py::arg("path"), py::arg("encoding") = "windows-1252",
             "The Python value of the object string in a file (Windows-1252, or \"utf-8\").");
  module.def("dump", &Dump, py::arg("value"), py::arg("path"), py::arg("encoding") = "windows-1252",
             "Writes the object string of a Python value to a file (Windows-1252, or \"utf-8\"); the file is "
             "replaced "
             "only once the whole text is written.");
}
