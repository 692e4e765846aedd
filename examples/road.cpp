// The road of one typical request: build a Map, write its object string, export it to a file,
// import the file into another container and list what arrived.
//
// Usage: quenlo_example_road [FILE]   (default: road.quenlo in the temporary directory)
#include <filesystem>
#include <iostream>
#include <quenlo/quenlo.hpp>
#include <string>

int main(int argc, char** argv) {
  const std::string filename =
      argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "road.quenlo").string();
  try {
    const quenlo::TavrixPtr map = quenlo::Tavrix::Create();
    map->SetMap();
    map->AddLast("a");  // the key "a", with a Null value for now
    (*map)["a"] = 5;
    std::cout << map->GetObjectString() << '\n';
    map->Export(filename);

    const quenlo::TavrixPtr copy = quenlo::Tavrix::Create();
    copy->Import(filename);
    std::cout << copy->DebugPrint() << '\n';
  } catch (const quenlo::Error& error) {
    std::cerr << "Error " << error.Number() << " (" << error.Source() << "): " << error.Description() << '\n';
    return 1;
  }
  return 0;
}
