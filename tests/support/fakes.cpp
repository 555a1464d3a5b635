#include "support/fakes.h"

namespace kelva::testing {

void FakeWorld::queueChat(const std::string& name, int32_t session, const std::string& text) {
  queue([this, name, session, text] {
    AvatarName = name;
    ChatSession = session;
    ChatMessage = text;
    if (events_) events_->onChat();
  });
}

void FakeWorld::Query(int32_t sectorX, int32_t sectorZ, CellSequenceTable& s) {
  std::string line = "query " + std::to_string(sectorX) + " " + std::to_string(sectorZ);
  for (const auto& row : s) {
    for (int32_t v : row) line += " " + std::to_string(v);
  }
  calls.push_back(line);
}

void FakeWorld::Wait(int32_t) {
  // Only the events pending now; those queued meanwhile wait for the next call.
  auto now = std::move(pending);
  pending.clear();
  for (auto& e : now) e();
}

void FakeWorld::Teleport(int32_t session) {
  calls.push_back("teleport " + std::to_string(session) + " " + std::to_string(TeleportX) + " " +
                  std::to_string(TeleportY) + " " + std::to_string(TeleportZ) + " " + (TeleportWarp ? "1" : "0"));
}

void FakeWorld::ObjectChange() {
  std::string line = "object-change " + std::to_string(ObjectOldNumber) + " " + ObjectModel;
  if (!ObjectAction.empty()) line += " " + ObjectAction;
  calls.push_back(line);
}

Result<std::optional<std::string>> MemoryFileSystem::readFile(const std::string& path) {
  reads.push_back(path);
  const auto it = files.find(path);
  if (it == files.end()) return std::optional<std::string>();
  return std::optional<std::string>(it->second);
}

Status MemoryFileSystem::replaceFile(const std::string& path, const std::string& bytes) {
  if (writeLog) writeLog->push_back("save " + path.substr(path.find_last_of('/') + 1));
  if (failWrite && failWrite(path)) return Status::error("injected failure writing " + path);
  files[path] = bytes;
  return Status::ok();
}

std::optional<std::string> RecordingView::inputBox(const std::string& prompt) {
  prompts.push_back(prompt);
  if (answers.empty()) return std::nullopt;
  std::string a = answers.front();
  answers.erase(answers.begin());
  return a;
}

}  // namespace kelva::testing
