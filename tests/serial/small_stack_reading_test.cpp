// Reading at depth on a thread with a 64 KiB stack, as thread pools give their threads: the
// reader keeps the levels it is reading on a stack of its own, not on the call stack.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "serial/serial_support.hpp"
#include "support/small_stack.hpp"

namespace quenlo {
namespace {

// A top-level container of the kind `open` starts (a header and its opening mark, with a key for
// a Map) with `nested` more of its kind each inside the one before, the innermost holding 1.
std::string NestedText(std::string_view open, std::string_view close, int nested) {
  std::string text;
  for (int level = 0; level <= nested; ++level) text += open;
  text += "\\2\\1";
  for (int level = 0; level <= nested; ++level) text += close;
  return text;
}

TEST(SmallStackReading, TheDeepestTextReadsAndADeeperOneIsRefusedOnA64KiBStack) {
  const std::pair<std::string_view, std::string_view> kinds[] = {{"\\11000\\[", "]"},
                                                                 {"\\11000\\{k: ", "}"},
                                                                 {"\\11000\\(", ")"},
                                                                 {"\\11000\\<", ">"},
                                                                 {"\\11000\\`", "\u00B4"}};
  for (const auto& [open, close] : kinds) {
    SCOPED_TRACE(open);
    const std::string deepest = NestedText(open, close, 1024);
    const std::string deeper = NestedText(open, close, 2000);
    const TavrixPtr read = Tavrix::Create();
    const TavrixPtr refused = serial_test::MakeTarget();
    const std::string before = serial_test::State(*refused);
    const std::int32_t number = test_support::RunOnSmallStack([&] {
      read->SetObjectString(deepest);
      try {
        refused->SetObjectString(deeper);
      } catch (const Error& error) {
        return error.Number();
      }
      return 0;
    });
    EXPECT_EQ(number, 28);
    EXPECT_EQ(serial_test::State(*refused), before);
    EXPECT_EQ(read->GetObjectString(), deepest);  // written back on this thread's large stack
  }
}

}  // namespace
}  // namespace quenlo
