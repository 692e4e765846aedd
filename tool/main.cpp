// quenlo: lists, checks, formats, converts and queries object string files.
#include <malloc.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/json.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

enum ExitCode : int {
  kSuccess = 0,
  kFailure = 1,         // the tree cannot be converted or would not read back; the output cannot be written
  kUsage = 2,           // bad command line
  kMissingFile = 3,     // the file or its folder does not exist
  kUnreadableFile = 4,  // the file exists but cannot be read
  kBadContent = 5,      // not an object string (from-json: not JSON)
  kNoSuchValue = 6,     // get: the path names nothing in the tree
  kOutOfMemory = 7,     // as runtime error 7
};

constexpr std::string_view kStatuses = R"(FILE may be "-" for standard input.

Encoding: object strings are read and written as Windows-1252, as files written on the
original platform are; --encoding utf-8 reads and writes UTF-8 instead. The listing of dump
and JSON are always UTF-8.

Errors print as FILE:OFFSET: error N (Source): Description, OFFSET being the byte of FILE
where reading failed; an error without a place prints as FILE: error N (Source): Description.
File names holding a control character, a quote or a backslash are printed quoted, with
C escapes.

Exit status:
  0  success
  1  the tree cannot be converted or would not read back, or the output cannot be written
  2  bad command line
  3  a file, or its folder, does not exist
  4  a file exists but cannot be read
  5  a file is not an object string (from-json: not JSON)
  6  get: the path names no value in the tree
  7  out of memory
  check exits with the status of the first file that fails.)";

constexpr std::string_view kToJsonFooter = R"(FILE may be "-" for standard input.

JSON conversion: Map -> object (keys as text, in order); Array, Set, Stack, Queue -> array
(Stack and Queue in the order Pop gives them); Variant container -> its value; Nil -> null.
Integer, Long, Byte -> integer; Double, Single -> number; Currency, Decimal -> number (as a
double); Date -> string, its ISO 8601 text; String -> string; Boolean -> true/false; Empty,
Null, NaN, Infinity -> null. A tree holding a cycle or an object reference is refused.)";

constexpr std::string_view kFromJsonFooter = R"(FILE may be "-" for standard input.

JSON conversion: object -> Map (a key given twice keeps its first place and its last value);
array -> unbounded Array; integer that fits 32 bits -> Long; any other number -> Double;
string -> String; true/false -> Boolean; null -> Null. Nesting deeper than 1,024 levels is
refused.
What does not survive a trip through JSON and back: the kinds other than Map and Array (a
Set, Stack or Queue comes back as an Array, a bounded Array as an unbounded one, a nested
Variant or Nil container as its value or Null); the types Integer and Byte (back as Long),
Single, Currency and Decimal (back as Double, with a double's precision), Date (back as a
String), Empty, NaN and Infinity (back as Null); the types of Map keys (back as Strings).
A tree whose object string would not read back the same (a key or a nested text holding one
of [ ] { } ( ) < > , : ` or the acute accent, an empty key, ...) or, in Windows-1252, a
character that encoding cannot hold is refused with status 1; --force writes it anyway.)";

constexpr std::string_view kGetFooter =
    R"(PATH names a value step by step: {KEY} an entry of a Map by its key, [N] the N-th
element of any other container (1 first; a Stack or Queue in the order Pop takes them out),
as "{items}[3]{name}". An empty PATH names the whole tree. A value prints as its text in
UTF-8 and a line break; a container as its object string, as fmt prints it.)";

enum class Encoding { kWindows1252, kUtf8 };

// A failed command: the exit status and the message line.
struct CommandFailure {
  ExitCode code;
  std::string message;
};

// `text` with its control characters (and, when `quotes`, its quotes and backslashes) written as
// C escapes, so that it stays on one line.
std::string Escaped(std::string_view text, bool quotes) {
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (quotes && (c == '"' || c == '\\')) {
      escaped += '\\';
      escaped += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      constexpr char kHex[] = "0123456789abcdef";
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// A file name as printed: as it is, or between quotes with C escapes when it holds a control
// character, a quote or a backslash, so that no name can forge a line of output.
std::string Quoted(std::string_view name) {
  const std::string escaped = Escaped(name, true);
  return escaped == name ? escaped : '"' + escaped + '"';
}

// Reading errors carry "at byte N" in their context, N counting the bytes of the text read.
// The offset, and what else the context says.
struct Place {
  std::optional<std::size_t> offset;
  std::string rest;
};

Place PlaceOf(const Error& error) {
  constexpr std::string_view kAtByte = "at byte ";
  const std::string& context = error.Context();
  if (!context.starts_with(kAtByte)) return {std::nullopt, Escaped(context, false)};
  std::size_t offset = 0;
  const char* digits = context.data() + kAtByte.size();
  const auto [end, failure] = std::from_chars(digits, context.data() + context.size(), offset);
  if (failure != std::errc() || end == digits) return {std::nullopt, Escaped(context, false)};
  std::string_view rest(end, static_cast<std::size_t>(context.data() + context.size() - end));
  while (!rest.empty() && (rest.front() == ':' || rest.front() == ',' || rest.front() == ' '))
    rest.remove_prefix(1);
  return {offset, Escaped(rest, false)};
}

// Maps an offset in the UTF-8 text read from a Windows-1252 file to the offset in the file:
// each byte of the file became one character.
std::size_t FileOffsetOf(std::string_view utf8_text, std::size_t offset) {
  std::size_t characters = 0;
  for (std::size_t at = 0; at < offset && at < utf8_text.size(); ++at) {
    if ((static_cast<unsigned char>(utf8_text[at]) & 0xC0) != 0x80) ++characters;
  }
  return characters;
}

// "FILE:OFFSET: error N (Source): Description (rest)" or "FILE: error N (Source): Description
// (context)". `read_text` is the UTF-8 text of a Windows-1252 file, whose offsets it maps.
std::string Located(const std::string& file, const Error& error, std::string_view read_text = {}) {
  const Place place = PlaceOf(error);
  std::string line = Quoted(file);
  if (place.offset) {
    line += ':' + std::to_string(read_text.empty() ? *place.offset : FileOffsetOf(read_text, *place.offset));
  }
  line += ": error " + std::to_string(error.Number()) + " (" + error.Source() + "): " + error.Description();
  if (!place.rest.empty()) line += " (" + place.rest + ")";
  return line;
}

CommandFailure Failed(ExitCode code, const std::string& file, const Error& error,
                      std::string_view read_text = {}) {
  return {error.Number() == err::kOutOfMemory ? kOutOfMemory : code, Located(file, error, read_text)};
}

std::string ReadStandardInput() {
  std::string bytes;
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) bytes.append(buffer, count);
  if (std::ferror(stdin)) RaiseRuntimeError(err::kDeviceIOError);
  return bytes;
}

// The status of a file that could not be read.
ExitCode UnreadableFileStatus(const Error& error) {
  const bool missing = error.Number() == err::kFileNotFound || error.Number() == err::kPathNotFound;
  return missing ? kMissingFile : kUnreadableFile;
}

std::string ReadBytes(const std::string& path) {
  try {
    return path == "-" ? ReadStandardInput() : ReadFileBytes(path);
  } catch (const Error& error) {
    throw Failed(UnreadableFileStatus(error), path, error);
  }
}

TavrixPtr ReadTree(const std::string& path, Encoding encoding) {
  const std::string bytes = ReadBytes(path);
  const bool as_read = encoding == Encoding::kUtf8 || IsAscii(bytes);
  const std::string converted = as_read ? std::string() : Windows1252ToUtf8(bytes);
  const std::string_view text = as_read ? std::string_view(bytes) : converted;
  try {
    TavrixPtr tree = Tavrix::Create();
    tree->SetObjectString(text);
    return tree;
  } catch (const Error& error) {
    throw Failed(kBadContent, path, error, converted);
  }
}

// Where a command writes: standard output, or a file replaced as Export replaces it.
class Output {
 public:
  explicit Output(std::string path) : path_(std::move(path)) {}

  bool IsTerminal() const { return path_.empty() && isatty(STDOUT_FILENO); }

  void WriteBytes(std::string_view bytes) const {
    if (!path_.empty()) return Replace([&] { WriteFileBytes(path_, bytes); });
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
      throw CommandFailure{kFailure, "standard output: cannot be written"};
    }
  }

  void WriteText(std::string_view text, Encoding encoding) const {
    if (encoding == Encoding::kUtf8 || IsAscii(text)) return WriteBytes(text);
    if (!path_.empty()) return Replace([&] { WriteTextFile(text, path_); });
    WriteBytes(Utf8ToWindows1252(text));
  }

 private:
  template <class Write>
  void Replace(Write&& write) const {
    try {
      write();
    } catch (const Error& error) {
      throw Failed(kFailure, path_, error);
    }
  }

  std::string path_;
};

// Runs a step whose errors are about converting the tree read from `path`.
template <class Step>
decltype(auto) Convert(const std::string& path, Step&& step) {
  try {
    return step();
  } catch (const Error& error) {
    throw Failed(kFailure, path, error);
  }
}

// The first character of `text` that Windows-1252 cannot hold, described, or "".
std::string FirstCharacterLostInWindows1252(std::string_view text) {
  if (IsAscii(text)) return {};
  const std::string back = Windows1252ToUtf8(Utf8ToWindows1252(text));
  std::size_t at = 0;
  while (at < text.size() && at < back.size() && text[at] == back[at]) ++at;
  if (at == text.size() && at == back.size()) return {};
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  const std::string character(text.substr(at, FirstCharacterSize(text.substr(at))));
  return "the text holds \"" + character + "\" (character " + std::to_string(FileOffsetOf(text, at) + 1) +
         " of the object string), which Windows-1252 cannot hold and would write as \"?\" (--encoding utf-8 "
         "keeps it)";
}

// Why the object string of `tree`, written in `encoding`, would not read back the same, or "".
std::string WhyNotReadable(const Tavrix& tree, std::string_view text, Encoding encoding) {
  std::string why = tree.FindUnreadableValue();
  if (why.empty() && encoding == Encoding::kWindows1252) why = FirstCharacterLostInWindows1252(text);
  return why;
}

// Writes an object string as it is, so that the output is a valid file; a terminal also gets a
// line break. A text that would not read back is refused unless `force`.
void WriteObjectString(const std::string& path, const Tavrix& tree, Encoding encoding, const Output& output,
                       bool force) {
  std::string text = Convert(path, [&] { return tree.GetObjectString(); });
  const std::string why = Escaped(Convert(path, [&] { return WhyNotReadable(tree, text, encoding); }), false);
  if (!why.empty()) {
    if (!force) {
      throw CommandFailure{kFailure, Quoted(path) + ": the text would not read back the same: " + why +
                                         " (--force writes it anyway)"};
    }
    std::fprintf(stderr, "quenlo: warning: %s: the text will not read back the same: %s\n",
                 Quoted(path).c_str(), why.c_str());
  }
  if (output.IsTerminal()) text += '\n';
  output.WriteText(text, encoding);
}

struct Options {
  Encoding encoding = Encoding::kWindows1252;
  std::string file;
  std::vector<std::string> files;
  std::string output;
  std::string path;
  bool force = false;
  bool lf = false;
  bool compact = false;
  int indent = 2;
};

ExitCode Dump(const Options& options) {
  const TavrixPtr tree = ReadTree(options.file, options.encoding);
  std::string listing = Convert(options.file, [&] { return tree->DebugPrint(); }) + "\r\n";
  if (options.lf) {
    std::string lines;
    lines.reserve(listing.size());
    for (std::size_t at = 0; at < listing.size(); ++at) {
      if (!(listing[at] == '\r' && at + 1 < listing.size() && listing[at + 1] == '\n')) lines += listing[at];
    }
    listing = std::move(lines);
  }
  Output(options.output).WriteBytes(listing);
  return kSuccess;
}

ExitCode Check(const Options& options) {
  ExitCode result = kSuccess;
  const Output output("");
  for (const std::string& path : options.files) {
    std::string line;
    try {
      ReadTree(path, options.encoding);
      line = Quoted(path) + ": OK";
    } catch (const CommandFailure& failure) {
      line = failure.message;
      if (result == kSuccess) result = failure.code;
    }
    output.WriteBytes(line + '\n');
  }
  return result;
}

ExitCode Format(const Options& options) {
  const TavrixPtr tree = ReadTree(options.file, options.encoding);
  WriteObjectString(options.file, *tree, options.encoding, Output(options.output), options.force);
  return kSuccess;
}

ExitCode ToJson(const Options& options) {
  const TavrixPtr tree = ReadTree(options.file, options.encoding);
  const int indent = options.compact ? -1 : options.indent;
  std::string text = Convert(options.file, [&] { return TreeToJsonText(*tree, indent); });
  text += '\n';
  Output(options.output).WriteBytes(text);
  return kSuccess;
}

// A file is read by the JSON reader itself, which reads its text where it lies.
ExitCode FromJson(const Options& options) {
  TavrixPtr tree;
  try {
    tree = options.file == "-" ? TreeFromJsonText(ReadStandardInput()) : TreeFromJsonFile(options.file);
  } catch (const Error& error) {
    const int number = error.Number();
    const ExitCode code = number == err::kInvalidProcedureCall ? kBadContent
                          : number == err::kOutOfStackSpace    ? kFailure
                                                               : UnreadableFileStatus(error);
    throw Failed(code, options.file, error);
  }
  WriteObjectString(options.file, *tree, options.encoding, Output(options.output), options.force);
  return kSuccess;
}

// ---- get --------------------------------------------------------------------------------------

// One step of a path: a Map key ("{name}") or a position ("[3]").
struct Step {
  bool by_key;
  std::string key;
  std::int32_t position;
  std::string written;  // as the path writes it
};

std::vector<Step> ParsePath(std::string_view path) {
  std::vector<Step> steps;
  while (!path.empty()) {
    const char close = path.front() == '{' ? '}' : path.front() == '[' ? ']' : '\0';
    const std::size_t end = close == '\0' ? std::string_view::npos : path.find(close);
    if (end == std::string_view::npos) {
      throw CommandFailure{kUsage,
                           "quenlo: bad PATH at \"" + std::string(path) + "\": expected {KEY} or [N]"};
    }
    const std::string_view inside = path.substr(1, end - 1);
    Step step{close == '}', std::string(inside), 0, std::string(path.substr(0, end + 1))};
    if (!step.by_key) {
      const auto [stop, failure] =
          std::from_chars(inside.data(), inside.data() + inside.size(), step.position);
      if (failure != std::errc() || stop != inside.data() + inside.size() || step.position < 1) {
        throw CommandFailure{kUsage, "quenlo: bad PATH step " + step.written + ": N is a position from 1"};
      }
    }
    steps.push_back(std::move(step));
    path.remove_prefix(end + 1);
  }
  return steps;
}

std::int32_t ElementCount(const Tavrix& container) {
  if (container.Kind() == KindNil) return 0;
  return container.Kind() == KindVariant ? 1 : container.Length();
}

// The element a step names in `container`, or nothing.
std::optional<Variant> ElementAt(const Tavrix& container, const Step& step) {
  if (step.by_key) {
    const Variant key = Variant::String(step.key);
    if (container.Kind() != KindMap || !container.Exists(key)) return std::nullopt;
    return container.Item(key);
  }
  if (step.position > ElementCount(container)) return std::nullopt;
  if (container.Kind() == KindStack || container.Kind() == KindQueue) {
    // Elements are numbered in the order Pop takes them out, as the object string lists them.
    const TavrixPtr copy = container.Clone();
    for (std::int32_t skipped = 1; skipped < step.position; ++skipped) copy->Pop();
    return copy->Pop();
  }
  return container.Item(Variant::Long(step.position));
}

ExitCode Get(const Options& options) {
  const std::vector<Step> steps = ParsePath(options.path);
  const TavrixPtr tree = ReadTree(options.file, options.encoding);
  Variant value(tree);
  std::string walked;
  for (const Step& step : steps) {
    const auto container = value.IsObject() ? std::dynamic_pointer_cast<Tavrix>(value.AsObject()) : nullptr;
    if (container == nullptr) {
      throw CommandFailure{kNoSuchValue, Quoted(options.file) + ": " + walked + step.written +
                                             ": no such value (" + (walked.empty() ? "the tree" : walked) +
                                             " holds no container)"};
    }
    const auto element = Convert(options.file, [&] { return ElementAt(*container, step); });
    walked += step.written;
    if (!element)
      throw CommandFailure{kNoSuchValue, Quoted(options.file) + ": " + walked + ": no such value"};
    value = *element;
  }
  const Output output(options.output);
  if (const auto container =
          value.IsObject() ? std::dynamic_pointer_cast<Tavrix>(value.AsObject()) : nullptr) {
    WriteObjectString(options.file, *container, options.encoding, output, true);
  } else {
    output.WriteBytes(Convert(options.file, [&] { return ConcatText(value); }) + '\n');
  }
  return kSuccess;
}

// ---- Command line -----------------------------------------------------------------------------

CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description,
                     std::string_view footer) {
  CLI::App* command = app.add_subcommand(name, description);
  command->footer(std::string(footer));
  return command;
}

void AddOutputOption(CLI::App& command, Options& options) {
  command.add_option("-o,--output", options.output,
                     "Write to this file (replaced only once completely written)");
}

void AddForceOption(CLI::App& command, Options& options) {
  command.add_flag("--force", options.force,
                   "Write a text that would not read back the same, with a warning");
}

// The tool does one job and exits: memory freed between its steps (the token list of the text
// it read, the check of a large Map's keys) serves the next step (the text it writes) instead of
// going back to the system and coming back as fresh pages, each a fault to fill.
void KeepFreedMemory() {
#ifdef __GLIBC__
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // the largest glibc takes
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
#endif
}

int Run(int argc, char** argv) {
  KeepFreedMemory();
  Options options;
  CLI::App app("Lists, checks, formats, converts and queries Quenlo object string files.", "quenlo");
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", Tavrix::Version(), "Print the version and exit");
  std::string encoding_name = "windows-1252";
  app.add_option("--encoding", encoding_name, "Encoding of object strings: windows-1252 or utf-8")
      ->check(CLI::IsMember({"windows-1252", "utf-8"}))
      ->capture_default_str();

  constexpr std::string_view kFileFooter = R"(FILE may be "-" for standard input.)";
  CLI::App* dump = AddCommand(app, "dump", "Print the indented listing of the tree in FILE", kFileFooter);
  dump->add_option("FILE", options.file, "Object string file")->required();
  dump->add_flag("--lf", options.lf, "End lines with LF instead of CR LF");
  AddOutputOption(*dump, options);

  CLI::App* check = AddCommand(app, "check", "Read each FILE and report OK or the error", kFileFooter);
  check->add_option("FILE", options.files, "Object string files")->required();

  CLI::App* fmt = AddCommand(app, "fmt", "Print the canonical object string of FILE", kFileFooter);
  fmt->add_option("FILE", options.file, "Object string file")->required();
  AddForceOption(*fmt, options);
  AddOutputOption(*fmt, options);

  CLI::App* to_json = AddCommand(app, "to-json", "Print the tree in FILE as JSON", kToJsonFooter);
  to_json->add_option("FILE", options.file, "Object string file")->required();
  CLI::Option* compact = to_json->add_flag("--compact", options.compact, "Print the JSON on one line");
  to_json->add_option("--indent", options.indent, "Indent nested values by N spaces")
      ->check(CLI::Range(0, 32))
      ->capture_default_str()
      ->excludes(compact);
  AddOutputOption(*to_json, options);

  CLI::App* from_json =
      AddCommand(app, "from-json", "Print the object string of the JSON in FILE", kFromJsonFooter);
  from_json->add_option("FILE", options.file, "JSON file (UTF-8)")->required();
  AddForceOption(*from_json, options);
  AddOutputOption(*from_json, options);

  CLI::App* get = AddCommand(app, "get", "Print the value or subtree PATH names in FILE", kGetFooter);
  get->add_option("PATH", options.path, "Path of the value, as {items}[3]{name}")->required();
  get->add_option("FILE", options.file, "Object string file")->required();
  AddOutputOption(*get, options);

  app.footer(std::string(kStatuses));  // after the commands, which would inherit it

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    std::fprintf(stderr, "quenlo: %s (see quenlo --help)\n", error.what());
    return kUsage;
  }

  options.encoding = encoding_name == "utf-8" ? Encoding::kUtf8 : Encoding::kWindows1252;
  try {
    if (dump->parsed()) return Dump(options);
    if (check->parsed()) return Check(options);
    if (fmt->parsed()) return Format(options);
    if (to_json->parsed()) return ToJson(options);
    if (get->parsed()) return Get(options);
    return FromJson(options);
  } catch (const CommandFailure& failure) {
    std::fprintf(stderr, "%s\n", failure.message.c_str());
    return failure.code;
  }
}

}  // namespace
}  // namespace quenlo

int main(int argc, char** argv) {
  try {
    return quenlo::Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quenlo: error 7 (Quenlo): Out of memory\n");
    return quenlo::kOutOfMemory;
  } catch (const quenlo::Error& error) {
    std::fprintf(stderr, "quenlo: error %d (%s): %s\n", error.Number(), error.Source().c_str(), error.what());
    return error.Number() == quenlo::err::kOutOfMemory ? quenlo::kOutOfMemory : quenlo::kFailure;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quenlo: %s\n", error.what());
  }
  return quenlo::kFailure;
}
