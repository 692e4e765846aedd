// A program built against an installed or embedded Quenlo: it nests a container, writes the
// object string and reads it back, catches an error thrown by the library, and compares the
// version of the headers with that of the library it runs with.
#include <iostream>
#include <quenlo/quenlo.hpp>
#include <string>

#ifdef QUENLO_CONSUMER_CXX23
#include <utility>
// Fails to compile when a flag of the package put the consumer back to C++20.
static_assert(std::to_underlying(quenlo::KindQueue) == 7);
#endif

namespace {

bool Expect(bool holds, const char* what) {
  if (!holds) std::cerr << "consumer: " << what << '\n';
  return holds;
}

bool RaisesError(const quenlo::TavrixPtr& container) {
  try {
    container->Pop();
  } catch (const quenlo::Error& error) {
    return error.Number() != 0;
  }
  return false;
}

}  // namespace

int main() {
  const quenlo::TavrixPtr inner = quenlo::Tavrix::Create();
  inner->SetArray();
  inner->AddLast("x");
  const quenlo::TavrixPtr map = quenlo::Tavrix::Create();
  map->SetMap();
  map->Item("n", 5);
  map->Item("list", inner);
  const std::string text = map->GetObjectString();

  const quenlo::TavrixPtr copy = quenlo::Tavrix::Create();
  copy->SetObjectString(text);
  const quenlo::TavrixPtr list = copy->Item("list").ObjectAs<quenlo::Tavrix>();
  const bool good =
      Expect(copy->GetObjectString() == text, "the text does not read back the same") &&
      Expect(quenlo::CLng(copy->Item("n")) == 5, "the number did not survive") &&
      Expect(list != nullptr && quenlo::CStr(list->Item(1)) == "x", "the nested array is lost") &&
      Expect(RaisesError(map), "Pop on a Map raised no quenlo::Error") &&
      Expect(quenlo::Tavrix::Version() == QUENLO_VERSION_STRING, "headers and library differ");
  std::cout << text << '\n';
  return good ? 0 : 1;
}
