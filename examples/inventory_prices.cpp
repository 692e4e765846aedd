// Raises every price of an inventory by 10%, lists the items out of stock and saves the
// result. docs/for-nlohmann-users.md shows it beside the same program for a JSON file.
//
// Usage: quenlo_example_inventory_prices INPUT OUTPUT
//   INPUT   an inventory such as examples/inventory.qo (a Map whose "items" are Maps with
//           "sku", "name", "price" and "stock")
//   OUTPUT  the file the repriced inventory is saved to
#include <cmath>
#include <iostream>
#include <quenlo/quenlo.hpp>
#include <string>
#include <vector>

namespace {

// The price raised by 10%, rounded to the cent; a Currency stays a Currency.
quenlo::Currency Raised(const quenlo::Variant& price) {
  return quenlo::CCur(std::round(price.get<double>() * 110) / 100);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: " << argv[0] << " INPUT OUTPUT\n";
    return 2;
  }
  try {
    auto inventory = quenlo::Tavrix::Create();
    inventory->Import(argv[1]);

    std::vector<std::string> out_of_stock;
    for (const quenlo::Variant& entry : (*inventory)["items"]) {
      auto item = entry.get<quenlo::TavrixPtr>();
      const quenlo::Variant old_price = (*item)["price"];
      (*item)["price"] = Raised(old_price);
      std::cout << (*item)["sku"] << ' ' << (*item)["name"] << ": " << old_price << " -> " << (*item)["price"]
                << '\n';
      if ((*item)["stock"] == 0) out_of_stock.push_back((*item)["name"].get<std::string>());
    }

    for (const std::string& name : out_of_stock) std::cout << "Out of stock: " << name << '\n';
    inventory->Export(argv[2]);
  } catch (const quenlo::Error& error) {
    std::cerr << "Error " << error.Number() << ": " << error.Description() << ' ' << error.Context() << '\n';
    return 1;
  }
  return 0;
}
