// Reading JSON text straight into a tree. simdjson reads the text first; whatever it refuses
// (text that is not JSON, an integer beyond 64 bits, nesting deeper than a tree may go, a byte
// order mark) is read again by nlohmann's reader, which gives the error of that text, with its
// byte, or its tree (an integer beyond 64 bits is a Double). What simdjson accepts nlohmann's
// reader accepts too, with the same values, so the tree never depends on which one read it.
#include <simdjson.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/kind_marks.hpp"
#include "json/tree_filler.hpp"
#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/json.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {
namespace {

namespace dom = simdjson::dom;

// ---- simdjson ---------------------------------------------------------------------------------

// The top container and 1,024 levels below it, as a tree may nest: deeper text is refused by
// simdjson and its error raised by nlohmann's reader.
constexpr std::size_t kDeepestNesting = kMaxNestingDepth + 1;

static_assert(kRoomBeyondFileBytes >= simdjson::SIMDJSON_PADDING, "a file's text is read where it is");

// Builds the tree of a document simdjson has read, with a stack of the objects and arrays being
// read; the parser has checked the nesting.
class TreeFromDocument {
 public:
  static TavrixPtr Build(dom::element root) {
    if (!IsContainer(root)) {
      TavrixPtr holder = Tavrix::Create();
      holder->Item(1, ScalarOf(root));
      return holder;
    }
    TreeFromDocument builder;
    builder.open_.push_back(Opened(root));
    TavrixPtr tree = builder.open_.back().filler.Container();
    builder.Run();
    return tree;
  }

 private:
  // An object's members or an array's elements still to read; the other pair stays empty.
  struct OpenContainer {
    dom::object::iterator member, members_end;
    dom::array::iterator element, elements_end;
    JsonContainerFiller filler;
  };

  static bool IsContainer(dom::element value) {
    return value.type() == dom::element_type::OBJECT || value.type() == dom::element_type::ARRAY;
  }

  static OpenContainer Opened(dom::element value) {
    if (value.is_object()) {
      const dom::object object = value.get_object().value_unsafe();
      return {object.begin(), object.end(), {}, {}, JsonContainerFiller(true, object.size())};
    }
    const dom::array array = value.get_array().value_unsafe();
    return {{}, {}, array.begin(), array.end(), JsonContainerFiller(false, array.size())};
  }

  void Run() {
    while (!open_.empty()) {
      OpenContainer& open = open_.back();
      std::string_view key;
      dom::element value;
      if (open.member != open.members_end) {
        key = open.member.key();
        value = open.member.value();
        ++open.member;
      } else if (open.element != open.elements_end) {
        value = *open.element;
        ++open.element;
      } else {
        open.filler.Close();
        open_.pop_back();
        continue;
      }
      if (!IsContainer(value)) {
        open.filler.Add(key, ScalarOf(value));
        continue;
      }
      OpenContainer nested = Opened(value);
      open.filler.Add(key, nested.filler.Container());
      open_.push_back(std::move(nested));  // `open` is not used again
    }
  }

  static Variant ScalarOf(dom::element value) {
    switch (value.type()) {
      case dom::element_type::INT64:
        return IntegerFromJson(value.get_int64().value_unsafe());
      case dom::element_type::UINT64:
        return UnsignedFromJson(value.get_uint64().value_unsafe());
      case dom::element_type::DOUBLE:
        return Variant::Double(value.get_double().value_unsafe());
      case dom::element_type::STRING:
        return Variant::String(value.get_string().value_unsafe());
      case dom::element_type::BOOL:
        return Variant::Boolean(value.get_bool().value_unsafe());
      default:  // null; objects and arrays are containers
        return Variant::Null();
    }
  }

  std::vector<OpenContainer> open_;
};

// The tree of the text, or nothing when simdjson refuses the text. simdjson reads a little past
// the end of a text: one with less `room` behind it is copied first.
TavrixPtr TreeFromSimdjson(std::string_view text, std::size_t room) {
  dom::parser parser;
  dom::element root;
  const bool copy = room < simdjson::SIMDJSON_PADDING;
  if (parser.allocate(text.size(), kDeepestNesting) != simdjson::SUCCESS ||
      parser.parse(text.data(), text.size(), copy).get(root) != simdjson::SUCCESS)
    return nullptr;
  return TreeFromDocument::Build(root);
}

// ---- nlohmann ---------------------------------------------------------------------------------

// Builds a tree from the events of nlohmann's reader, which reads without recursion.
class TreeFromEvents {
 public:
  using Json = nlohmann::ordered_json;

  TavrixPtr Take() { return std::move(root_); }

  bool null() { return Add(Variant::Null()); }
  bool boolean(bool value) { return Add(Variant::Boolean(value)); }
  bool number_integer(Json::number_integer_t value) { return Add(IntegerFromJson(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return Add(UnsignedFromJson(value)); }
  bool number_float(Json::number_float_t value, const std::string& /*text*/) {
    return Add(Variant::Double(value));
  }
  bool string(std::string& value) { return Add(Variant::String(value)); }
  bool binary(Json::binary_t& /*value*/) {
    RaiseRuntimeError(err::kTypeMismatch, "a JSON binary value, which no Variant holds");
  }
  bool key(std::string& key) {
    key_ = std::move(key);
    return true;
  }
  // The reader of text does not know the size of a container before its end.
  bool start_object(std::size_t /*unknown*/) { return OpenContainer(true); }
  bool start_array(std::size_t /*unknown*/) { return OpenContainer(false); }
  bool end_object() { return CloseContainer(); }
  bool end_array() { return CloseContainer(); }

  bool parse_error(std::size_t position, const std::string& /*last_token*/,
                   const nlohmann::detail::exception& error) {
    std::string why = error.what();
    if (const std::size_t end = why.find("] ");
        why.starts_with("[json.exception.") && end != std::string::npos)
      why.erase(0, end + 2);
    // nlohmann counts the bytes read, the one that failed included.
    const std::size_t offset = position > 0 ? position - 1 : 0;
    RaiseRuntimeError(err::kInvalidProcedureCall, "at byte " + std::to_string(offset) + ": not JSON: " + why);
  }

 private:
  bool Add(Variant value) {
    if (open_.empty()) {
      root_ = Tavrix::Create();
      root_->Item(1, std::move(value));
    } else {
      open_.back().Add(key_, std::move(value));
    }
    return true;
  }

  bool OpenContainer(bool object) {
    RequireNestingWithinLimit(open_.size());
    JsonContainerFiller filler(object, 0);
    if (open_.empty()) {
      root_ = filler.Container();
    } else {
      open_.back().Add(key_, filler.Container());
    }
    open_.push_back(std::move(filler));
    return true;
  }

  bool CloseContainer() {
    open_.back().Close();
    open_.pop_back();
    return true;
  }

  TavrixPtr root_;
  std::vector<JsonContainerFiller> open_;
  std::string key_;
};

// The tree of the text, or the error that makes it not JSON.
TavrixPtr TreeFromNlohmann(std::string_view text) {
  TreeFromEvents events;
  nlohmann::ordered_json::sax_parse(text, &events);
  return events.Take();
}

// The tree of a text with `room` bytes behind it: simdjson's, or what nlohmann's reader gives
// of a text simdjson refuses.
TavrixPtr TreeOfText(std::string_view text, std::size_t room) {
  return TranslateErrors([&] {
    TavrixPtr tree = TreeFromSimdjson(text, room);
    return tree ? tree : TreeFromNlohmann(text);
  });
}

}  // namespace

TavrixPtr TreeFromJsonText(std::string_view text) {
  return TreeOfText(text, 0);
}

TavrixPtr TreeFromJsonFile(const std::string& Filename) {
  const std::string text = ReadFileBytes(Filename);
  return TreeOfText(text, text.capacity() - text.size());
}

}  // namespace quenlo
