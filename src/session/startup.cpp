#include "session/startup.h"

#include <iostream>

#include "data/numbers.h"
#include "data/random.h"
#include "persist/persistence.h"
#include "state/form1.h"

namespace kelva::session {

namespace {

// The seven start-up prompts, in the order they are shown.
constexpr const char* kCitizenPrompt = "CitizenNumber?";
constexpr const char* kPasswordPrompt = "PPW?";
constexpr const char* kWorldPrompt = "World?";
constexpr const char* kBotNamePrompt = "Botname?";
constexpr const char* kXPrompt = "X?   EG.  -1000  = 1E";
constexpr const char* kYPrompt = "Y?   EG.  -100  = -10a";
constexpr const char* kZPrompt = "Z?   EG.  -1000  = 1S";

// The application name the world shows for the bot.
constexpr const char* kApplicationName = "Kelvabot";

// The cell of a coordinate: 1000 units to a cell, rounding towards minus
// infinity, so z = -1 is in cell -1 and z = 999 in cell 0.
int32_t cellOfCoordinate(int32_t coordinate) {
  const int64_t q = coordinate / 1000;
  return static_cast<int32_t>(coordinate % 1000 < 0 ? q - 1 : q);
}

// A prompt whose answer must be a number (the citizen number, a coordinate).
// An answer that is not a number, or one too large for a long, would log the
// bot in somewhere nobody meant, so the prompt is shown again until the
// answer is a number or the operator cancels. A fraction rounds to the
// nearest whole number, a half to the even neighbour.
std::optional<int32_t> askNumber(Dialogs& dialogs, const char* prompt) {
  while (true) {
    const auto answer = dialogs.inputBox(prompt);
    if (!answer) return std::nullopt;
    if (const auto value = tryStrictLong(*answer)) return value;
  }
}

// Loads one data file. A missing file leaves its table empty (the file
// appears at its first save); a file that cannot be loaded whole stops the
// start-up.
bool load(LoadResult (*loader)(Form1&), Form1& form, StartupResult& result) {
  const LoadResult loaded = loader(form);
  switch (loaded.outcome) {
    case LoadOutcome::kLoaded:
      return true;
    case LoadOutcome::kMissing:
      std::cerr << "kelvabot: " << loaded.status.message() << "; starting with none\n";
      return true;
    case LoadOutcome::kFailed:
      form.activityLog->record("refused to load: " + loaded.status.message());
      result.outcome = StartupOutcome::kDataError;
      result.message = loaded.status.message();
      return false;
  }
  return false;
}

}  // namespace

StartupResult formLoad(Form1& form, Dialogs& dialogs, std::optional<int64_t> seed) {
  StartupResult result;

  // The notification sound needs no preparation here: the platform's Sound
  // opens the wave file itself.
  form.rng.seed(seed ? *seed : secondsSinceMidnight());
  form.sdk.Init(22);

  // Cancelling any prompt ends the program before it logs in.
  const auto citizen = askNumber(dialogs, kCitizenPrompt);
  if (!citizen) return {StartupOutcome::kCancelled, 0, {}};
  const auto password = dialogs.inputBox(kPasswordPrompt);
  if (!password) return {StartupOutcome::kCancelled, 0, {}};
  const auto world = dialogs.inputBox(kWorldPrompt);
  if (!world) return {StartupOutcome::kCancelled, 0, {}};
  const auto botName = dialogs.inputBox(kBotNamePrompt);
  if (!botName) return {StartupOutcome::kCancelled, 0, {}};
  const auto x = askNumber(dialogs, kXPrompt);
  if (!x) return {StartupOutcome::kCancelled, 0, {}};
  const auto y = askNumber(dialogs, kYPrompt);
  if (!y) return {StartupOutcome::kCancelled, 0, {}};
  const auto z = askNumber(dialogs, kZPrompt);
  if (!z) return {StartupOutcome::kCancelled, 0, {}};

  const int32_t code =
      form.sdk.StartBot(*citizen, *password, *botName, kApplicationName, *world, *x, *y, *z, 0, 251);
  if (code != 0) {
    // The code is the only report; nothing is loaded and nothing saved.
    dialogs.messageBox(num(code));
    form.activityLog->record("the login of " + *botName + " to " + *world + " was refused with code " + num(code));
    return {StartupOutcome::kLoginRefused, code, {}};
  }

  form.timawwaitEnabled = true;
  form.activityLog->record(*botName + " logged in to " + *world);

  if (!load(initstats, form, result)) return result;
  if (!load(loadobjects, form, result)) return result;
  if (!load(loadarwe, form, result)) return result;

  form.lastShroomIndex = -1;
  form.homeSectorZ = form.sdk.SectorFromCell(cellOfCoordinate(*z));
  form.homeSectorX = form.sdk.SectorFromCell(cellOfCoordinate(*x));
  form.sdk.Query(form.homeSectorX, form.homeSectorZ, form.cellSequence);
  return result;
}

void formUnload(Form1& form) {
  form.timawwaitEnabled = false;
  form.sdk.Say("Bot is being shut down in Three...");
  form.sdk.Wait(1000);
  form.sdk.Say("Two...");
  form.sdk.Wait(1000);
  form.sdk.Say("One...");
  form.sdk.Wait(1000);
  form.sdk.Destroy();
  form.sdk.Term();
  form.activityLog->record("the bot left the world");
}

}  // namespace kelva::session
