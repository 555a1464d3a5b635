#include "support/game_fixture.h"

#include "data/stats_file.h"

namespace kelva::testing {

GameFixture::GameFixture(std::string dataDir)
    : form(std::make_unique<Form1>(world, files, view, view, std::move(dataDir))),
      router(std::make_unique<app::EventRouter>(*form)) {
  form->rng.seed(1);
}

PlayerBuilder GameFixture::givenPlayer(const std::string& name) {
  PlayerRecord& r = form->roster[static_cast<std::size_t>(form->playerCount)];
  setStartingValues(r, name);
  ++form->playerCount;
  return PlayerBuilder(r);
}

PlayerRecord& GameFixture::player(const std::string& name) {
  return form->roster.at(static_cast<std::size_t>(userpos(form->roster, name)));
}

void GameFixture::givenAdmin(const std::string& name) {
  for (auto& box : form->console.Text1) {
    if (box.empty()) {
      box = name;
      return;
    }
  }
}

CatalogEntry& GameFixture::givenCatalogEntry(const CatalogEntry& e) {
  ++form->lastCatalogIndex;
  auto& slot = form->catalog.at(static_cast<std::size_t>(form->lastCatalogIndex));
  slot = e;
  return slot;
}

ObjectDefinition& GameFixture::givenObject(const ObjectDefinition& d) {
  ++form->lastObjectIndex;
  auto& slot = form->objectDefinitions.at(static_cast<std::size_t>(form->lastObjectIndex));
  slot = d;
  return slot;
}

ShroomEntry& GameFixture::givenShroom(const ShroomEntry& e) {
  ++form->lastShroomIndex;
  auto& slot = form->shroomCache.at(static_cast<std::size_t>(form->lastShroomIndex));
  slot = e;
  return slot;
}

void GameFixture::chat(const std::string& name, int32_t session, const std::string& text) {
  world.AvatarName = name;
  world.ChatSession = session;
  world.ChatMessage = text;
  router->onChat();
}

void GameFixture::clickObject(const std::string& name, int32_t session, int32_t number) {
  world.AvatarName = name;
  world.AvatarSession = session;
  world.ObjectNumber = number;
  router->onObjectClick();
}

void GameFixture::clickAvatar(const std::string& name, int32_t session, const std::string& clicked,
                              int32_t clickedSession) {
  world.AvatarName = name;
  world.AvatarSession = session;
  world.ClickedName = clicked;
  world.ClickedSession = clickedSession;
  router->onAvatarClick();
}

std::vector<std::string> GameFixture::takeCalls() {
  auto out = std::move(world.calls);
  world.calls.clear();
  return out;
}

std::string GameFixture::file(const std::string& name) const {
  const auto it = files.files.find(dataPath(form->dataDir, name));
  return it == files.files.end() ? std::string() : it->second;
}

std::string GameFixture::statsFile() const { return file(kStatsFileName); }

}  // namespace kelva::testing
