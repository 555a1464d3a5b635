#include "state/form1.h"

#include <utility>

namespace kelva {

Form1::Form1(WorldSdk& sdkIn, FileSystem& filesIn, ConsoleView& view, Sound& sound, std::string dataDirIn)
    : sdk(sdkIn), files(filesIn), MM1(sound), dataDir(std::move(dataDirIn)), console(view) {}

}  // namespace kelva
