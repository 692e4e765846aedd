// quenlo: lists, checks, formats and converts object string files.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/tavrix.hpp"
#include "tool/json_conversion.hpp"

namespace quenlo {
namespace {

enum ExitCode : int {
  kSuccess = 0,
  kFailure = 1,         // the tree cannot be converted, the output cannot be written
  kUsage = 2,           // bad command line
  kMissingFile = 3,     // the file or its folder does not exist
  kUnreadableFile = 4,  // the file exists but cannot be read
  kBadContent = 5,      // not an object string (from-json: not JSON)
};

constexpr std::string_view kFooter = R"(FILE may be "-" for standard input.

Encoding: object strings are read and written as Windows-1252, as files written on the
original platform are; --encoding utf-8 reads and writes UTF-8 instead. The listing of dump
is for people and, like JSON, is always UTF-8.

JSON conversion (to-json):
  Map -> object (keys as text, in order); Array, Set, Stack, Queue -> array (Stack and Queue
  in the order Pop gives them); Variant container -> its value; Nil -> null.
  Integer, Long, Byte -> integer; Double, Single -> number; Currency, Decimal -> number
  (as a double); Date -> string, its ISO 8601 text; String -> string; Boolean -> true/false;
  Empty, Null -> null.
JSON conversion (from-json):
  object -> Map; array -> unbounded Array; integer that fits 32 bits -> Long; any other
  number -> Double; string -> String; true/false -> Boolean; null -> Null.
What does not survive a trip through JSON: the kinds other than Map and Array (a Set, Stack
or Queue comes back as an Array, a bounded Array as an unbounded one, a nested Variant or
Nil container as its value or Null); the types Integer and Byte (back as Long), Single,
Currency and Decimal (back as Double, with a double's precision), Date (back as a String),
Empty (back as Null); the types of Map keys (back as Strings); cycles and object references
(to-json refuses them). Keys and texts holding one of [ ] { } ( ) < > , : ` or the acute
accent do not survive an object string either.

Exit status:
  0  success
  1  the tree cannot be converted, or the output cannot be written
  2  bad command line
  3  a file, or its folder, does not exist
  4  a file exists but cannot be read
  5  a file is not an object string (from-json: not JSON)
  check exits with the status of the first file that fails.)";

enum class Encoding { kWindows1252, kUtf8 };

// A failed command: the exit status and a one-line message about `subject` (a file name).
struct CommandFailure {
  ExitCode code;
  std::string subject;
  std::string message;
};

std::string Describe(const Error& error) {
  return "error " + std::to_string(error.Number()) + " (" + error.Source() + "): " + error.Description();
}

std::string ReadStandardInput() {
  std::string bytes;
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) bytes.append(buffer, count);
  if (std::ferror(stdin)) RaiseRuntimeError(err::kDeviceIOError);
  return bytes;
}

std::string ReadBytes(const std::string& path) {
  try {
    return path == "-" ? ReadStandardInput() : ReadFileBytes(path);
  } catch (const Error& error) {
    const bool missing = error.Number() == err::kFileNotFound || error.Number() == err::kPathNotFound;
    throw CommandFailure{missing ? kMissingFile : kUnreadableFile, path, Describe(error)};
  }
}

std::string ReadText(const std::string& path, Encoding encoding) {
  std::string bytes = ReadBytes(path);
  return encoding == Encoding::kUtf8 ? bytes : Windows1252ToUtf8(bytes);
}

TavrixPtr ReadTree(const std::string& path, Encoding encoding) {
  const std::string text = ReadText(path, encoding);
  try {
    TavrixPtr tree = Tavrix::Create();
    tree->SetObjectString(text);
    return tree;
  } catch (const Error& error) {
    throw CommandFailure{kBadContent, path, "not an object string: " + Describe(error)};
  }
}

void WriteBytes(std::string_view bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
    throw CommandFailure{kFailure, "standard output", "cannot be written"};
  }
}

void WriteText(std::string_view text, Encoding encoding) {
  WriteBytes(encoding == Encoding::kUtf8 ? std::string(text) : Utf8ToWindows1252(text));
}

// An object string is printed as it is, so that the output is a valid file; a terminal also
// gets a line break.
void WriteObjectString(const Tavrix& tree, Encoding encoding) {
  std::string text = tree.GetObjectString();
  if (isatty(STDOUT_FILENO)) text += '\n';
  WriteText(text, encoding);
}

// Runs a conversion step whose errors say nothing about the file itself.
template <class Step>
decltype(auto) Convert(const std::string& path, Step&& step) {
  try {
    return step();
  } catch (const Error& error) {
    throw CommandFailure{kFailure, path, Describe(error)};
  } catch (const JsonUnsupported& error) {
    throw CommandFailure{kFailure, path, error.what()};
  }
}

ExitCode Dump(const std::string& path, Encoding encoding) {
  const TavrixPtr tree = ReadTree(path, encoding);
  WriteBytes(Convert(path, [&] { return tree->DebugPrint(); }) + "\r\n");
  return kSuccess;
}

ExitCode Check(const std::vector<std::string>& paths, Encoding encoding) {
  ExitCode result = kSuccess;
  for (const std::string& path : paths) {
    std::string line = path + ": ";
    try {
      ReadTree(path, encoding);
      line += "OK";
    } catch (const CommandFailure& failure) {
      line += failure.message;
      if (result == kSuccess) result = failure.code;
    }
    WriteBytes(line + '\n');
  }
  return result;
}

ExitCode Format(const std::string& path, Encoding encoding) {
  const TavrixPtr tree = ReadTree(path, encoding);
  Convert(path, [&] { WriteObjectString(*tree, encoding); });
  return kSuccess;
}

ExitCode ToJson(const std::string& path, Encoding encoding) {
  const TavrixPtr tree = ReadTree(path, encoding);
  const Json json = Convert(path, [&] { return TreeToJson(*tree); });
  WriteBytes(json.dump(2, ' ', false, Json::error_handler_t::replace) + '\n');
  return kSuccess;
}

ExitCode FromJson(const std::string& path, Encoding encoding) {
  const std::string text = ReadBytes(path);
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& error) {
    throw CommandFailure{kBadContent, path, std::string("not JSON: ") + error.what()};
  }
  const TavrixPtr tree = Convert(path, [&] { return TreeFromJson(json); });
  Convert(path, [&] { WriteObjectString(*tree, encoding); });
  return kSuccess;
}

int Run(int argc, char** argv) {
  CLI::App app("Lists, checks, formats and converts Quenlo object string files.", "quenlo");
  app.require_subcommand(1);
  app.fallthrough();
  app.footer(std::string(kFooter));
  std::string encoding_name = "windows-1252";
  app.add_option("--encoding", encoding_name, "Encoding of object strings: windows-1252 or utf-8")
      ->check(CLI::IsMember({"windows-1252", "utf-8"}))
      ->capture_default_str();

  std::string file;
  std::vector<std::string> files;
  CLI::App* dump = app.add_subcommand("dump", "Print the indented listing of the tree in FILE");
  dump->add_option("FILE", file, "Object string file")->required();
  CLI::App* check = app.add_subcommand("check", "Read each FILE and report OK or the error");
  check->add_option("FILE", files, "Object string files")->required();
  CLI::App* fmt = app.add_subcommand("fmt", "Print the canonical object string of FILE");
  fmt->add_option("FILE", file, "Object string file")->required();
  CLI::App* to_json = app.add_subcommand("to-json", "Print the tree in FILE as JSON");
  to_json->add_option("FILE", file, "Object string file")->required();
  CLI::App* from_json = app.add_subcommand("from-json", "Print the object string of the JSON in FILE");
  from_json->add_option("FILE", file, "JSON file (UTF-8)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help
    std::fprintf(stderr, "quenlo: %s (see quenlo --help)\n", error.what());
    return kUsage;
  }

  const Encoding encoding = encoding_name == "utf-8" ? Encoding::kUtf8 : Encoding::kWindows1252;
  try {
    if (dump->parsed()) return Dump(file, encoding);
    if (check->parsed()) return Check(files, encoding);
    if (fmt->parsed()) return Format(file, encoding);
    if (to_json->parsed()) return ToJson(file, encoding);
    return FromJson(file, encoding);
  } catch (const CommandFailure& failure) {
    std::fprintf(stderr, "quenlo: %s: %s\n", failure.subject.c_str(), failure.message.c_str());
    return failure.code;
  }
}

}  // namespace
}  // namespace quenlo

int main(int argc, char** argv) {
  try {
    return quenlo::Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quenlo: unexpected failure: %s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "quenlo: unexpected failure\n");
  }
  return quenlo::kFailure;
}
