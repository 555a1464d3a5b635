// The catalogue loader on any bytes: it loads the file whole or says why not.
// What it loads is saved and loaded again unchanged (empty slots aside, which
// are not saved).
#include "data/catalog_file.h"
#include "fuzz/data_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  fuzz::checkSavedFileLoadsAgain<Catalog>(
      std::string_view(reinterpret_cast<const char*>(data), size), "armor~weapon.txt", parseCatalogFile,
      [](const Catalog& c, int count) { return formatCatalogFile(c, count - 1); },
      [](const CatalogEntry& e) { return !e.name.empty(); });
  return 0;
}
