// Runs the quenlo tool as a subprocess in a scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace quenlo {

#ifndef QUENLO_TOOL_PATH
#define QUENLO_TOOL_PATH ""
#endif

inline const std::string kInventory = QUENLO_EXAMPLES_DIR "/inventory.qo";

struct Outcome {
  int status = -1;
  std::string out, err;
};

inline std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class QuenloTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string_view(QUENLO_TOOL_PATH).empty())
      GTEST_SKIP() << "the quenlo tool is not part of this build";
    char pattern[] = "/tmp/quenlo_tool_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::string File(const std::string& name, std::string_view bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
    return (dir_ / name).string();
  }

  // Runs the tool with the given standard input; `limits` is run by the shell first (a ulimit).
  // Every argument is single-quoted for the shell; none of them holds a quote.
  Outcome Run(const std::vector<std::string>& args, std::string_view input = "",
              const std::string& limits = "") {
    std::string command = QUENLO_TOOL_PATH;
    for (const std::string& arg : args) command += " '" + arg + "'";
    const std::string in = File("stdin", input), out = File("stdout", ""), err = File("stderr", "");
    command += " <'" + in + "' >'" + out + "' 2>'" + err + "'";
    if (!limits.empty()) command = limits + "; " + command;
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWhole(out), ReadWhole(err)};
  }

  // A failure reported as exactly one line on standard error, starting with `start`.
  static void ExpectOneLine(const Outcome& outcome, const std::string& start) {
    EXPECT_EQ(outcome.err.rfind(start, 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
  }

  // Whether `line` reports the error `number` of `file` in the form "FILE:OFFSET: error N
  // (Source): Description (more)" or "FILE: error N (Source): Description (more)", ending in a line
  // break; `number` and `description` are checked when given. Hand-made: GCC warns falsely inside
  // std::regex in the sanitizer build.
  static bool IsErrorLine(const std::string& line, const std::string& file, const std::string& number,
                          const std::string& description = "") {
    if (!line.starts_with(file) || line.find('\n') != line.size() - 1) return false;
    std::string_view rest(line);
    rest.remove_prefix(file.size());
    rest.remove_suffix(1);
    if (rest.size() > 1 && rest[0] == ':' && std::isdigit(static_cast<unsigned char>(rest[1]))) {
      rest.remove_prefix(1);
      while (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest[0]))) rest.remove_prefix(1);
    }
    constexpr std::string_view kError = ": error ";
    if (!rest.starts_with(kError)) return false;
    rest.remove_prefix(kError.size());
    const std::size_t source = rest.find(" (");
    const std::size_t said = rest.find("): ", source);
    if (said == std::string_view::npos || (!number.empty() && rest.substr(0, source) != number)) return false;
    rest.remove_prefix(said + 3);
    const std::string_view text = rest.substr(0, rest.find(" ("));
    return !text.empty() && (description.empty() || text == description);
  }

  std::filesystem::path dir_;
};

}  // namespace quenlo
