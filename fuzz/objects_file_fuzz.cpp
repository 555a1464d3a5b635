// The object definitions loader on any bytes: it loads the file whole or says
// why not. What it loads is saved and loaded again unchanged (slots without
// an object number aside, which are not saved).
#include <memory>

#include "data/objects_file.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto parsed = parseObjectsFile(bytes, "objects.txt");
  if (!parsed.isOk()) {
    if (parsed.status().message().rfind("objects.txt", 0) != 0) fuzz::broken("the error does not name the file");
    return 0;
  }
  const auto& definitions = parsed.value();
  if (definitions.size() > static_cast<std::size_t>(kObjectDefinitionsSize)) {
    fuzz::broken("more definitions than the table holds");
  }
  static auto table = std::make_unique<ObjectDefinitions>();
  for (std::size_t i = 0; i < definitions.size(); ++i) (*table)[i] = definitions[i];
  const std::string saved = formatObjectsFile(*table, static_cast<int>(definitions.size()) - 1);

  auto again = parseObjectsFile(saved, "objects.txt");
  if (!again.isOk()) fuzz::broken("a saved objects file does not load");
  std::vector<ObjectDefinition> kept;
  for (const ObjectDefinition& d : definitions) {
    if (d.objectNumber != 0) kept.push_back(d);
  }
  if (again.value() != kept) fuzz::broken("a saved objects file loads as other definitions");
  return 0;
}
