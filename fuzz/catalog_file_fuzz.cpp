// The catalogue loader on any bytes: it loads the file whole or says why not.
// What it loads is saved and loaded again unchanged (empty slots aside, which
// are not saved).
#include <memory>

#include "data/catalog_file.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto parsed = parseCatalogFile(bytes, "armor~weapon.txt");
  if (!parsed.isOk()) {
    if (parsed.status().message().rfind("armor~weapon.txt", 0) != 0) fuzz::broken("the error does not name the file");
    return 0;
  }
  const auto& entries = parsed.value();
  if (entries.size() > static_cast<std::size_t>(kCatalogSize)) fuzz::broken("more entries than the catalogue holds");
  static auto catalog = std::make_unique<Catalog>();
  for (std::size_t i = 0; i < entries.size(); ++i) (*catalog)[i] = entries[i];
  const std::string saved = formatCatalogFile(*catalog, static_cast<int>(entries.size()) - 1);

  auto again = parseCatalogFile(saved, "armor~weapon.txt");
  if (!again.isOk()) fuzz::broken("a saved catalogue does not load");
  std::vector<CatalogEntry> kept;
  for (const CatalogEntry& e : entries) {
    if (!e.name.empty()) kept.push_back(e);
  }
  if (again.value() != kept) fuzz::broken("a saved catalogue loads as other entries");
  return 0;
}
