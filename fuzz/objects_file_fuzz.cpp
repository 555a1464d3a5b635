// The object definitions loader on any bytes: it loads the file whole or says
// why not. What it loads is saved and loaded again unchanged (slots without
// an object number aside, which are not saved).
#include "data/objects_file.h"
#include "fuzz/data_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kelva;
  fuzz::checkSavedFileLoadsAgain<ObjectDefinitions>(
      std::string_view(reinterpret_cast<const char*>(data), size), "objects.txt", parseObjectsFile,
      [](const ObjectDefinitions& d, int count) { return formatObjectsFile(d, count - 1); },
      [](const ObjectDefinition& d) { return d.objectNumber != 0; });
  return 0;
}
