// Conversions between Python values and Variants or container trees, done in C++ element by
// element: no element costs a call into Python code, except the few types that only Python
// builds (the small quenlo types, decimal.Decimal).
#include "python/conversion.hpp"

// clang-format off
#include <Python.h>
#include <datetime.h>
// clang-format on

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "serial/object_string_reader.hpp"

namespace quenlo::python {
namespace {

// The Python types of the mapping, found once; the module keeps them for the process's life.
struct PythonTypes {
  PyObject* long_type = nullptr;
  PyObject* byte_type = nullptr;
  PyObject* single_type = nullptr;
  PyObject* currency_type = nullptr;
  PyObject* decimal_type = nullptr;
  PyObject* array_type = nullptr;
  PyObject* set_type = nullptr;
  PyObject* stack_type = nullptr;
  PyObject* queue_type = nullptr;
  PyObject* empty = nullptr;
  PyObject* nothing = nullptr;
  PyObject* nil = nullptr;
};
PythonTypes types;

// As deep as the library nests: a deeper Python value (or one that holds itself) raises 28.
constexpr int kDeepest = 1024;

py::object Steal(PyObject* object) {
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(object);
}

py::object Borrow(PyObject* object) {
  return py::reinterpret_borrow<py::object>(object);
}

py::object Call(PyObject* type, const py::object& argument) {
  return Steal(PyObject_CallOneArg(type, argument.ptr()));
}

bool IsOfType(PyObject* value, PyObject* type) {
  return PyObject_TypeCheck(value, reinterpret_cast<PyTypeObject*>(type));
}

// ---- Variant to Python ------------------------------------------------------------------------

int Digits(std::string_view text, std::size_t from, std::size_t count) {
  int number = 0;
  std::from_chars(text.data() + from, text.data() + from + count, number);
  return number;
}

// A Date by its text: "2026-12-06" a date, "15:04:05" a time of day, both a datetime.
py::object DateToPython(const Variant& value) {
  const std::string text = ConcatText(value);
  if (text.size() == 8)
    return Steal(PyTime_FromTime(Digits(text, 0, 2), Digits(text, 3, 2), Digits(text, 6, 2), 0));
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  if (text.size() == 10) return Steal(PyDate_FromDate(year, month, day));
  return Steal(PyDateTime_FromDateAndTime(year, month, day, Digits(text, 11, 2), Digits(text, 14, 2),
                                          Digits(text, 17, 2), 0));
}

bool FitsInteger(std::int64_t number) {
  return number >= std::numeric_limits<std::int16_t>::min() &&
         number <= std::numeric_limits<std::int16_t>::max();
}

py::object ScalarToPython(const Variant& value) {
  switch (value.Type()) {
    case vbEmpty:
      return Borrow(types.empty);
    case vbNull:
      return py::none();
    case vbInteger:
      return Steal(PyLong_FromLong(value.AsInteger()));
    case vbLong: {
      // A Long that a plain int would write back as an Integer keeps its type.
      py::object number = Steal(PyLong_FromLong(value.AsLong()));
      return FitsInteger(value.AsLong()) ? Call(types.long_type, number) : number;
    }
    case vbByte:
      return Call(types.byte_type, Steal(PyLong_FromLong(value.AsByte())));
    case vbSingle:
      return Call(types.single_type, Steal(PyFloat_FromDouble(value.AsSingle())));
    case vbDouble:
      return Steal(PyFloat_FromDouble(value.AsDouble()));
    case vbCurrency:
      return Call(types.currency_type, TextToPython(ConcatText(value)));
    case vbDecimal:
      return Call(types.decimal_type, TextToPython(ConcatText(value)));
    case vbDate:
      return DateToPython(value);
    case vbString:
      return TextToPython(value.AsString());
    case vbBoolean:
      return py::bool_(value.AsBoolean());
    default:
      throw py::type_error("a value of type " + TypeName(value) + " has no Python type");
  }
}

// ---- Python to Variant ------------------------------------------------------------------------

Variant ToVariantAt(PyObject* value, int depth);

Variant StringValue(PyObject* value) {
  return Variant::String(Utf8Text(value).View());
}

std::string DecimalText(PyObject* value) {
  return py::str(Borrow(value)).cast<std::string>();
}

// An int: Integer when it fits 16 bits, Long when it fits 32, else an exact Decimal.
Variant IntegerValue(PyObject* value) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow == 0 && FitsInteger(number)) return Variant::Integer(static_cast<std::int16_t>(number));
  if (overflow == 0 && number >= std::numeric_limits<std::int32_t>::min() &&
      number <= std::numeric_limits<std::int32_t>::max()) {
    return Variant::Long(static_cast<std::int32_t>(number));
  }
  const py::object digits = Steal(PyLong_Type.tp_repr(value));
  return Variant(DecimalFromText(digits.cast<std::string>()));
}

std::int64_t IntegerWithin(PyObject* value, std::int64_t lowest, std::int64_t highest) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value, &overflow);
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (overflow != 0 || number < lowest || number > highest) RaiseRuntimeError(err::kOverflow);
  return number;
}

int Field(const py::handle& value, const char* name) {
  return py::getattr(value, name).cast<int>();
}

// A date, a time of day or both, to the nearest second; time zones are not kept.
Variant DateValue(PyObject* value) {
  const py::object moment = Borrow(value);
  if (!py::getattr(moment, "tzinfo", py::none()).is_none())
    throw py::value_error("a time zone cannot be stored");
  if (PyTime_Check(value)) {
    const int seconds = Field(moment, "hour") * 3600 + Field(moment, "minute") * 60 +
                        Field(moment, "second") + (Field(moment, "microsecond") >= 500000);
    return Variant(Date{seconds / 86400.0});
  }
  if (!PyDateTime_Check(value)) return Variant(DateFromText(moment.attr("isoformat")().cast<std::string>()));
  const py::object rounded =
      Field(moment, "microsecond") >= 500000 ? moment + Steal(PyDelta_FromDSU(0, 1, 0)) : moment;
  return Variant(DateFromText(rounded.attr("isoformat")(" ", "seconds").cast<std::string>()));
}

TavrixPtr NewContainer() {
  return Tavrix::Create();
}

// A Map key: the text of the key, which is all the object string keeps of it.
Variant KeyText(PyObject* key, int depth) {
  if (PyUnicode_CheckExact(key)) return StringValue(key);
  return Variant(CStr(ToVariantAt(key, depth)));
}

Variant MapValue(PyObject* dict, int depth) {
  const TavrixPtr map = NewContainer();
  map->SetMap();
  PyObject* key = nullptr;
  PyObject* item = nullptr;
  Py_ssize_t position = 0;
  while (PyDict_Next(dict, &position, &key, &item)) {
    const py::object key_held = Borrow(key), item_held = Borrow(item);  // conversion may run Python code
    Variant key_text = KeyText(key, depth);
    Variant element = ToVariantAt(item, depth);
    const std::int32_t count = map->Length();
    map->Item(key_text, std::move(element));
    // Two keys with one text (1 and "1") would make one entry: refused as the reader refuses them.
    if (map->Length() == count) RaiseRuntimeError(err::kDuplicateKey, std::string(key_text.AsString()));
  }
  return Variant(map);
}

// The items of a list, read one at a time: converting an item may run Python code.
template <class Store>
void ForEachItem(PyObject* list, int depth, Store&& store) {
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
    const py::object item = Borrow(PyList_GET_ITEM(list, i));
    store(ToVariantAt(item.ptr(), depth));
  }
}

Variant ArrayValue(PyObject* list, int depth, const Variant& UpperBound = -1) {
  const TavrixPtr array = NewContainer();
  array->SetArray(UpperBound);
  ForEachItem(list, depth, [&](const Variant& element) { array->AddLast(element); });
  return Variant(array);
}

Variant SequenceValue(PyObject* list, int depth) {
  std::vector<Variant> elements;
  ForEachItem(list, depth, [&](Variant element) { elements.push_back(std::move(element)); });
  const TavrixPtr sequence = NewContainer();
  if (IsOfType(list, types.set_type)) {
    sequence->SetSet(std::span<const Variant>(elements));
  } else if (IsOfType(list, types.stack_type)) {
    sequence->SetStack();
    for (auto element = elements.rbegin(); element != elements.rend(); ++element) sequence->Push(*element);
  } else {
    sequence->SetQueue();
    for (const Variant& element : elements) sequence->Push(element);
  }
  return Variant(sequence);
}

Variant TupleValue(PyObject* tuple, int depth) {
  std::vector<Variant> elements;
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(tuple); ++i) {
    elements.push_back(ToVariantAt(PyTuple_GET_ITEM(tuple, i), depth));
  }
  return Variant::Array(std::move(elements));
}

Variant NilValue() {
  const TavrixPtr nil = NewContainer();
  nil->SetNil();
  return Variant(nil);
}

// The types that only Python code makes, and subclasses of the plain types.
Variant OtherValue(PyObject* value, int depth) {
  if (py::isinstance<Tavrix>(value)) return Variant(py::cast<TavrixPtr>(value));
  if (IsOfType(value, types.long_type)) {
    return Variant::Long(static_cast<std::int32_t>(IntegerWithin(value, INT32_MIN, INT32_MAX)));
  }
  if (IsOfType(value, types.byte_type))
    return Variant::Byte(static_cast<std::uint8_t>(IntegerWithin(value, 0, 255)));
  if (IsOfType(value, types.single_type))
    return Variant::Single(CSng(Variant::Double(PyFloat_AsDouble(value))));
  if (IsOfType(value, types.currency_type)) return Variant(CurrencyFromText(DecimalText(value)));
  if (IsOfType(value, types.decimal_type)) return Variant(DecimalFromText(DecimalText(value)));
  if (PyDate_Check(value) || PyTime_Check(value)) return DateValue(value);
  if (IsOfType(value, types.array_type)) {
    return ArrayValue(value, depth, ToVariantAt(py::getattr(value, "bound").ptr(), depth));
  }
  if (IsOfType(value, types.set_type) || IsOfType(value, types.stack_type) ||
      IsOfType(value, types.queue_type)) {
    return SequenceValue(value, depth);
  }
  if (value == types.empty) return Variant();
  if (value == types.nothing) return Variant::Nothing();
  if (value == types.nil) return NilValue();
  if (PyTuple_Check(value)) return TupleValue(value, depth);
  if (PyList_Check(value)) return ArrayValue(value, depth);
  if (PyLong_Check(value)) return IntegerValue(value);
  if (PyFloat_Check(value)) return Variant::Double(PyFloat_AS_DOUBLE(value));
  if (PyUnicode_Check(value)) return StringValue(value);
  throw py::type_error(std::string("a value of type ") + Py_TYPE(value)->tp_name + " has no quenlo type");
}

Variant ToVariantAt(PyObject* value, int depth) {
  if (PyUnicode_CheckExact(value)) return StringValue(value);
  if (PyLong_CheckExact(value)) return IntegerValue(value);
  if (PyFloat_CheckExact(value)) return Variant::Double(PyFloat_AS_DOUBLE(value));
  if (value == Py_True || value == Py_False) return Variant::Boolean(value == Py_True);
  if (value == Py_None) return Variant::Null();
  if (depth >= kDeepest) RaiseRuntimeError(err::kOutOfStackSpace);
  if (PyDict_Check(value)) return MapValue(value, depth + 1);
  if (PyList_CheckExact(value)) return ArrayValue(value, depth + 1);
  return OtherValue(value, depth + 1);
}

// ---- Object strings read straight into Python values --------------------------------------------

// Lets the GIL go from its making until Take, or its end.
class GilUntilSplit {
 public:
  GilUntilSplit() noexcept : state_(PyEval_SaveThread()) {}
  ~GilUntilSplit() { Take(); }
  GilUntilSplit(const GilUntilSplit&) = delete;
  GilUntilSplit& operator=(const GilUntilSplit&) = delete;

  void Take() noexcept {
    if (state_ != nullptr) PyEval_RestoreThread(std::exchange(state_, nullptr));
  }

 private:
  PyThreadState* state_;
};

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// Builds the Python values of what the reader reads: a Map becomes a dict, an Array a list, a Set,
// a Stack or a Queue its quenlo type, a nested Variant-kind container the value it holds. The
// keys of Maps are made into Python strings once each, as json does: records repeat the same few
// keys, and a string made once keeps its hash for every dict. Made with the GIL held, it lets the
// GIL go until the reader has split the text, and has it back whenever it holds Python values.
class PlainValueSink final : public ObjectStringSink {
 public:
  py::object Result() {
    gil_.Take();
    return std::move(result_);
  }

  void Begin() override { gil_.Take(); }

  void Open(TavrixKind kind, std::int32_t /*expected*/) override {
    open_.push_back(Container{kind, Steal(kind == KindMap ? PyDict_New() : PyList_New(0)), py::object()});
  }

  void Close() override {
    Container done = std::move(open_.back());
    open_.pop_back();
    py::object value = std::move(done.object);
    if (done.kind == KindSet) value = Call(types.set_type, value);
    if (done.kind == KindStack) value = Call(types.stack_type, value);
    if (done.kind == KindQueue) value = Call(types.queue_type, value);
    if (open_.empty()) {
      result_ = std::move(value);
    } else {
      Store(value);
    }
  }

  bool AddKey(std::string_view key) override {
    Container& map = open_.back();
    const py::object& text = Key(key);
    const int known = PyDict_Contains(map.object.ptr(), text.ptr());
    if (known < 0) throw py::error_already_set();
    map.key = text;
    return known == 0;
  }

  void Add(Variant&& value) override { Store(ToPython(value)); }
  void AddText(std::string_view text) override { Store(TextToPython(text)); }
  void AddHolder(Variant&& value) override { Store(ToPython(value)); }
  void Whole(Variant&& value) override { result_ = ToPython(value); }
  void Nil() override { result_ = Borrow(types.nil); }

 private:
  // A dict or a list being filled; a dict with the key its next value goes under.
  struct Container {
    TavrixKind kind;
    py::object object;
    py::object key;
  };

  void Store(const py::object& value) {
    Container& open = open_.back();
    const int failed = open.kind == KindMap ? PyDict_SetItem(open.object.ptr(), open.key.ptr(), value.ptr())
                                            : PyList_Append(open.object.ptr(), value.ptr());
    if (failed != 0) throw py::error_already_set();
  }

  const py::object& Key(std::string_view text) {
    auto known = keys_.find(text);
    if (known == keys_.end()) known = keys_.emplace(std::string(text), TextToPython(text)).first;
    return known->second;
  }

  std::vector<Container> open_;
  std::unordered_map<std::string, py::object, TextHash, std::equal_to<>> keys_;
  py::object result_;
  GilUntilSplit gil_;  // last, so that it takes the GIL back before the values above go
};

}  // namespace

Utf8Text::Utf8Text(const py::handle& text) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
  if (data == nullptr) {
    PyErr_Clear();
    encoded_ = Steal(PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape"));
    data = PyBytes_AS_STRING(encoded_.ptr());
    size = PyBytes_GET_SIZE(encoded_.ptr());
  }
  view_ = std::string_view(data, static_cast<std::size_t>(size));
}

py::object TextToPython(std::string_view text) {
  return Steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape"));
}

void LoadPythonTypes() {
  PyDateTime_IMPORT;
  if (PyDateTimeAPI == nullptr) throw py::error_already_set();
  const py::module_ small_types = py::module_::import("quenlo._types");
  const auto keep = [](py::object object) { return object.release().ptr(); };
  types.long_type = keep(small_types.attr("Long"));
  types.byte_type = keep(small_types.attr("Byte"));
  types.single_type = keep(small_types.attr("Single"));
  types.currency_type = keep(small_types.attr("Currency"));
  types.array_type = keep(small_types.attr("Array"));
  types.set_type = keep(small_types.attr("Set"));
  types.stack_type = keep(small_types.attr("Stack"));
  types.queue_type = keep(small_types.attr("Queue"));
  types.empty = keep(small_types.attr("Empty"));
  types.nothing = keep(small_types.attr("Nothing"));
  types.nil = keep(small_types.attr("Nil"));
  types.decimal_type = keep(py::module_::import("decimal").attr("Decimal"));
}

Variant ToVariant(py::handle value) {
  return ToVariantAt(value.ptr(), 0);
}

py::object ToPython(const Variant& value) {
  if (value.IsArray()) {
    const std::vector<Variant>& elements = value.AsArray();
    py::object tuple = Steal(PyTuple_New(static_cast<Py_ssize_t>(elements.size())));
    for (std::size_t i = 0; i < elements.size(); ++i) {
      PyTuple_SET_ITEM(tuple.ptr(), static_cast<Py_ssize_t>(i), ToPython(elements[i]).release().ptr());
    }
    return tuple;
  }
  if (value.IsNothing()) return Borrow(types.nothing);
  if (value.IsObject()) {
    if (const TavrixPtr container = value.ObjectAs<Tavrix>()) return py::cast(container);
    throw py::type_error("an object of class " + TypeName(value) + " has no Python type");
  }
  return ScalarToPython(value);
}

TavrixPtr ToTree(py::handle value) {
  Variant converted = ToVariant(value);
  if (const TavrixPtr container = converted.ObjectAs<Tavrix>()) return container;
  const TavrixPtr holder = Tavrix::Create();
  holder->Item(1, std::move(converted));
  return holder;
}

py::object ReadPlainValues(std::string_view text, OffsetUnit unit) {
  PlainValueSink sink;
  ReadObjectString(text, unit, sink);
  return sink.Result();
}

std::vector<Variant> ElementsOf(const Tavrix& container) {
  std::vector<Variant> elements;
  switch (container.Kind()) {
    case KindNil:
      break;
    case KindVariant:
      try {
        elements.push_back(container.Item());
      } catch (const Error&) {
        // a new container holds no value yet
      }
      break;
    case KindStack:
    case KindQueue: {
      // Neither lends its elements: a copy gives them up one by one, in storage order.
      const TavrixPtr copy = container.Clone();
      for (std::int32_t count = copy->Length(); count > 0; --count) elements.push_back(copy->Pop());
      break;
    }
    default:
      for (std::int32_t position = 1, count = container.Length(); position <= count; ++position) {
        elements.push_back(container.Item(position));
      }
  }
  return elements;
}

}  // namespace quenlo::python
