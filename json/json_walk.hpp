// What both writers of JSON share, the builder of JSON values and the writer of JSON text: the
// JSON form of each scalar, and the walk of a tree that refuses what JSON cannot hold with the
// path of the value refused. So both give the same JSON and raise the same errors.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/tree_walk.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "quenlo/variant.hpp"

namespace quenlo {

template <class Writer>
void WriteJsonNumber(double number, Writer& writer) {
  if (std::isfinite(number)) {
    writer.Number(number);
  } else {
    writer.Null();
  }
}

// Tells `writer` the JSON form of a scalar that is not a Variant array: writer.Null(),
// writer.Integer(n) with n of the value's own integral type, writer.Boolean(b),
// writer.Number(x) with x finite, or writer.String(text).
template <class Writer>
void WriteJsonScalar(const Variant& value, Writer& writer) {
  switch (value.Type()) {
    case vbEmpty:
    case vbNull:
      return writer.Null();
    case vbInteger:
      return writer.Integer(value.AsInteger());
    case vbLong:
      return writer.Integer(value.AsLong());
    case vbByte:
      return writer.Integer(value.AsByte());
    case vbBoolean:
      return writer.Boolean(value.AsBoolean());
    case vbDouble:
      return WriteJsonNumber(value.AsDouble(), writer);
    case vbSingle:
      // Through its shortest text, so that 0.1 stays 0.1 rather than 0.100000001490116.
      if (!std::isfinite(value.AsSingle())) return writer.Null();
      return writer.Number(DoubleFromText(ConcatText(value)));
    case vbCurrency:
    case vbDecimal:
      return WriteJsonNumber(CDbl(value), writer);
    case vbString:
      return writer.String(value.AsString());
    default:  // Date, Error: their text
      return writer.String(ConcatText(value));
  }
}

// The visitor of the tree walk for a JSON writer. It refuses a Variant array and a reference to
// an object (a cycle is one) with the path of the value, and tells the writer the rest:
//
//   writer.Open(container)               a container begins: a Map is an object, a Variant-kind
//                                        container its value, a Nil null, any other an array
//   writer.Element(container, position)  before each of its elements, the first at position 1
//   writer.Close(container, empty)       it ends; `empty` when it had no element
//
// and each scalar as WriteJsonScalar tells it, a reference to nothing as writer.Null().
template <class Writer>
class JsonWalk {
 public:
  explicit JsonWalk(Writer& writer) : writer_(writer) {}

  void Open(const Tavrix& container, std::int32_t /*level*/) {
    open_.push_back(OpenContainer{&container, 0});
    writer_.Open(container);
  }

  void Element(const Tavrix& container, std::int32_t position, std::int32_t /*level*/) {
    open_.back().position = position;
    writer_.Element(container, position);
  }

  void Scalar(const Variant& value) {
    if (value.IsArray())
      RaiseRuntimeError(err::kTypeMismatch, Path() + ": a Variant array, which JSON cannot hold");
    WriteJsonScalar(value, writer_);
  }

  void Reference(const Variant& value) {
    if (!value.IsNothing()) {
      RaiseRuntimeError(err::kTypeMismatch,
                        Path() + ": a reference to an object or a cycle, which JSON cannot hold");
    }
    writer_.Null();
  }

  void Close(const Tavrix& container, std::int32_t /*level*/) {
    const bool empty = open_.back().position == 0;
    open_.pop_back();
    writer_.Close(container, empty);
  }

 private:
  struct OpenContainer {
    const Tavrix* container;
    std::int32_t position;  // of the element being written
  };

  // The path of the element being written, as FindUnreadableValue writes paths.
  std::string Path() const {
    std::string path;
    for (const OpenContainer& open : open_) TreeWalk::AppendPathStep(path, *open.container, open.position);
    return path;
  }

  Writer& writer_;
  std::vector<OpenContainer> open_;
};

// Walks `tree` for `writer`.
template <class Writer>
void WalkForJson(const Tavrix& tree, Writer& writer) {
  JsonWalk<Writer> walk(writer);
  TreeWalk::Run(tree, walk);
}

}  // namespace quenlo
