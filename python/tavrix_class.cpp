// quenlo.Tavrix: every member of the C++ class under its own name and with its own arguments,
// Item also as t[index], len(), iteration over the elements and a repr that shows the object
// string. Values pass through the mapping of conversion.hpp; a container stays the same object
// wherever it is stored, as in C++.
#include "python/tavrix_class.hpp"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "python/conversion.hpp"
#include "python/tree_lock.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo::python {
namespace {

using Predicate = bool (Tavrix::*)(const Variant&) const;

// A member that changes the container and takes no argument.
template <void (Tavrix::*Member)()>
void Change(Tavrix& container) {
  const ExclusiveUse use;
  (container.*Member)();
}

// Reading and importing build the new tree apart, without the GIL, then make the container a
// copy of it, so that a failure leaves the container as it was.
void ReplaceContents(Tavrix& container, const TavrixPtr& read) {
  const ExclusiveUse use;
  container.Become(read);
}

void SetObjectString(Tavrix& container, const py::str& str) {
  const Utf8Text text(str);
  const TavrixPtr read = Tavrix::Create();
  WithoutGil([&] { read->SetObjectString(text.View()); });
  ReplaceContents(container, read);
}

void Import(Tavrix& container, const std::string& Filename) {
  const TavrixPtr read = Tavrix::Create();
  WithoutGil([&] { read->Import(Filename); });
  ReplaceContents(container, read);
}

py::object GetObjectString(const Tavrix& container) {
  return TextToPython(WithoutGil([&] { return container.GetObjectString(); }));
}

py::object DebugPrint(const Tavrix& container) {
  return TextToPython(WithoutGil([&] { return container.DebugPrint(); }));
}

void Export(const Tavrix& container, const std::string& Filename) {
  WithoutGil([&] { container.Export(Filename); });
}

void StoreItem(Tavrix& container, const py::handle& index, const py::handle& value) {
  const Variant position = ToVariant(index);
  Variant converted = ToVariant(value);
  const ExclusiveUse use;
  container.Item(position, std::move(converted));
}

void SetSet(Tavrix& container, const py::args& Members) {
  std::vector<Variant> members;
  for (const py::handle member : Members) members.push_back(ToVariant(member));
  const ExclusiveUse use;
  container.SetSet(std::span<const Variant>(members));
}

py::object ReadItem(const Tavrix& container, const py::handle& index) {
  return ToPython(container.Item(ToVariant(index)));
}

void RemoveElement(Tavrix& container, const py::handle& index) {
  const Variant position = ToVariant(index);
  const ExclusiveUse use;
  container.Remove(position);
}

bool Exists(const Tavrix& container, const py::handle& Data) {
  return container.Exists(ToVariant(Data));
}

// len() counts the elements, as iteration gives them: Length() but for a Variant-kind container,
// whose Length is that of its value's text, and Nil, which has none.
std::size_t ElementCount(const Tavrix& container) {
  if (container.Kind() == KindNil || container.Kind() == KindVariant) return ElementsOf(container).size();
  return static_cast<std::size_t>(container.Length());
}

py::list ElementList(const Tavrix& container) {
  py::list elements;
  for (const Variant& element : ElementsOf(container)) elements.append(ToPython(element));
  return elements;
}

std::string Repr(const Tavrix& container) {
  try {
    return "<quenlo.Tavrix " + WithoutGil([&] { return container.GetObjectString(); }) + ">";
  } catch (const Error& error) {
    return "<quenlo.Tavrix without text: error " + std::to_string(error.Number()) + ", " +
           error.Description() + ">";
  }
}

void BindPredicates(py::class_<Tavrix, TavrixPtr>& tavrix) {
  const std::pair<const char*, Predicate> predicates[] = {
      {"IsNumeric", &Tavrix::IsNumeric},   {"IsArray", &Tavrix::IsArray},
      {"IsObject", &Tavrix::IsObject},     {"IsDate", &Tavrix::IsDate},
      {"IsLong", &Tavrix::IsLong},         {"IsBoolean", &Tavrix::IsBoolean},
      {"IsCurrency", &Tavrix::IsCurrency}, {"IsInteger", &Tavrix::IsInteger},
      {"IsString", &Tavrix::IsString},     {"IsDouble", &Tavrix::IsDouble},
      {"IsSingle", &Tavrix::IsSingle},     {"IsNull", &Tavrix::IsNull},
      {"IsEmpty", &Tavrix::IsEmpty}};
  for (const auto& [name, predicate] : predicates) {
    tavrix.def(
        name,
        [member = predicate](const Tavrix& container, const py::handle& index) {
          return (container.*member)(ToVariant(index));
        },
        py::arg("index") = 1);
  }
}

void BindConstants(py::module_& module) {
  const std::pair<const char*, std::int32_t> constants[] = {
      {"KindMap", KindMap},
      {"KindBoundedArray", KindBoundedArray},
      {"KindUnboundedArray", KindUnboundedArray},
      {"KindVariant", KindVariant},
      {"KindNil", KindNil},
      {"KindSet", KindSet},
      {"KindStack", KindStack},
      {"KindQueue", KindQueue},
      {"ErrSubscriptOutOfRange", ErrSubscriptOutOfRange},
      {"ErrDuplicateValue", ErrDuplicateValue},
      {"ErrInvalidOperation", ErrInvalidOperation}};
  for (const auto& [name, value] : constants) module.attr(name) = value;
}

}  // namespace

void BindTavrix(py::module_& module) {
  BindConstants(module);
  py::class_<Tavrix, TavrixPtr> tavrix(
      module, "Tavrix",
      "The dynamic container: a Map, a bounded or unbounded Array, a single Variant "
      "value, Nil, a Set, a Stack or a Queue. A new one is of kind Variant.");
  tavrix.def(py::init(&Tavrix::Create))
      .def_static("Create", &Tavrix::Create)
      // Kinds, copying, version and tag
      .def_property(
          "Tag", [](const Tavrix& container) { return container.Tag(); },
          [](Tavrix& container, std::string tag) {
            const ExclusiveUse use;
            container.Tag(std::move(tag));
          })
      .def_property_readonly("Kind",
                             [](const Tavrix& container) { return static_cast<int>(container.Kind()); })
      .def_property_readonly("Bound", &Tavrix::Bound)
      .def("Clone", &Tavrix::Clone)
      .def(
          "Become",
          [](Tavrix& container, const TavrixPtr& Data) {
            const ExclusiveUse use;
            container.Become(Data);
          },
          py::arg("Data").none(true))
      .def("SetMap", &Change<&Tavrix::SetMap>)
      .def("SetVariant", &Change<&Tavrix::SetVariant>)
      .def(
          "SetArray",
          [](Tavrix& container, const py::handle& UpperBound) {
            const Variant bound = ToVariant(UpperBound);
            const ExclusiveUse use;
            container.SetArray(bound);
          },
          py::arg("UpperBound") = -1)
      .def("SetSet", &SetSet)
      .def("SetStack", &Change<&Tavrix::SetStack>)
      .def("SetQueue", &Change<&Tavrix::SetQueue>)
      .def("SetNil", &Change<&Tavrix::SetNil>)
      .def_static("Version", &Tavrix::Version)
      // Element access
      .def("Item", &ReadItem, py::arg("index") = 1)
      .def("Item", &StoreItem, py::arg("index"), py::arg("value"))
      .def("Length", &Tavrix::Length)
      .def("Exists", &Exists, py::arg("Data"))
      .def("GetKeys", &Tavrix::GetKeys);
  BindPredicates(tavrix);
  // Sequences. The members whose result is always Empty return None.
  tavrix
      .def(
          "AddLast",
          [](Tavrix& container, const py::handle& Data) {
            const Variant value = ToVariant(Data);
            const ExclusiveUse use;
            container.AddLast(value);
          },
          py::arg("Data"))
      .def(
          "AddFirst",
          [](Tavrix& container, const py::handle& Data) {
            const Variant value = ToVariant(Data);
            const ExclusiveUse use;
            container.AddFirst(value);
          },
          py::arg("Data"))
      .def(
          "Insert",
          [](Tavrix& container, const py::handle& index, const py::handle& Data) {
            const Variant position = ToVariant(index), value = ToVariant(Data);
            const ExclusiveUse use;
            container.Insert(position, value);
          },
          py::arg("index"), py::arg("Data"))
      .def("Remove", &RemoveElement, py::arg("index") = 1)
      .def("RemoveAll", &Change<&Tavrix::RemoveAll>)
      .def(
          "Push",
          [](Tavrix& container, const py::handle& Data) {
            const Variant value = ToVariant(Data);
            const ExclusiveUse use;
            container.Push(value);
          },
          py::arg("Data"))
      .def("Pop",
           [](Tavrix& container) {
             Variant taken;
             {
               const ExclusiveUse use;
               taken = container.Pop();
             }
             return ToPython(taken);
           })
      .def(
          "Find",
          [](const Tavrix& container, const py::handle& Data, const py::handle& Start) {
            return container.Find(ToVariant(Data), ToVariant(Start));
          },
          py::arg("Data"), py::arg("Start") = 1)
      // Object string and files
      .def("GetObjectString", &GetObjectString)
      .def("SetObjectString", &SetObjectString, py::arg("str"))
      .def("Export", &Export, py::arg("Filename"))
      .def("Import", &Import, py::arg("Filename"))
      .def("DebugPrint", &DebugPrint)
      // Cycles and consistency
      .def_static("CollectCycles",
                  [] {
                    const ExclusiveUse use;
                    return Tavrix::CollectCycles();
                  })
      .def("FindInconsistency", &Tavrix::FindInconsistency)
      // Object
      .def("ClassName", [](const Tavrix& container) { return std::string(container.ClassName()); })
      .def("HasDefaultMember", &Tavrix::HasDefaultMember)
      .def("DefaultMember", [](const Tavrix& container) { return ToPython(container.DefaultMember()); })
      // Python's protocols
      .def("__len__", &ElementCount)
      .def("__getitem__", &ReadItem)
      .def("__setitem__", &StoreItem)
      .def("__delitem__", &RemoveElement)
      .def("__contains__", &Exists)
      .def("__iter__", [](const Tavrix& container) { return py::iter(ElementList(container)); })
      .def("__repr__", [](const Tavrix& container) { return TextToPython(Repr(container)); });
}

}  // namespace quenlo::python
