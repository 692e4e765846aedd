// A fresh folder for each file test, removed afterwards, and what the tests look at in it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quenlo::testing {

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(folder_); }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::ptrdiff_t EntryCount(const std::string& subfolder = "") const {
    return std::distance(std::filesystem::directory_iterator(folder_ / subfolder),
                         std::filesystem::directory_iterator());
  }
  // The bytes on disk, read apart from the library's own file code.
  std::string Bytes(const std::string& name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("quenlo_serial_" + std::to_string(::getpid()));
};

}  // namespace quenlo::testing
