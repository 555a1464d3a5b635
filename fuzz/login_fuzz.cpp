// The log-in handshake of both ports on any bytes, through the log-in
// throttle, with time passing between lines as the input says. The player
// port: names and passwords (a guest is always in double quotes, a registered
// name enters only with its own password, a throttled attempt is never
// checked, a banned name never enters, a take-over frees the name). The
// registered names are kept in an account store as the world keeps them, and
// each password is checked against its hash at once. The bot port: StartBot calls (only
// the citizen's own password logs in). The bytes are cut into lines as the
// player port cuts them: CR, LF and CR LF each end one.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "auth/password_hash.h"
#include "fuzz/fuzz_input.h"
#include "net/bot_protocol.h"
#include "net/line_buffer.h"
#include "world/guards/login_throttle.h"
#include "world/core/player_login.h"
#include "world/core/world_core.h"
#include "world/store/account_store.h"

namespace {

using namespace kelva;
using world::PlayerLogin;
using Step = PlayerLogin::Step;

struct Link : world::AvatarLink {
  bool dismissed = false;
  void dismiss(world::Dismissal) override { dismissed = true; }
};

world::WorldDefinition definition(fuzz::FuzzInput& in) {
  world::WorldDefinition def;
  def.name = "Fuzzworld";
  def.bots.push_back({1, "botpw"});
  def.bots.push_back({2, ""});
  def.players.push_back({"Ann", "annpw", ""});
  def.players.push_back({"Kaya", "kaya", ""});
  def.guests = in.flag();
  if (in.flag()) def.maxGuests = in.below(3);
  return def;
}

const world::PlayerAccount* accountOf(const world::WorldDefinition& def, const std::string& name) {
  for (const auto& a : def.players)
    if (a.name == name) return &a;
  return nullptr;
}

// The world file's players in a store of their own, Kaya banned when `banKaya`.
std::unique_ptr<world::AccountStore> storeOf(const world::WorldDefinition& def, bool banKaya) {
  auto opened = world::AccountStore::open(":memory:");
  if (!opened.isOk()) fuzz::broken("an account store in memory cannot be opened");
  std::unique_ptr<world::AccountStore> store = std::move(opened.value());
  for (const auto& a : def.players) {
    // Hashing is the slow part: each password is hashed once for every run.
    static std::map<std::string, std::string> hashes;
    auto [at, fresh] = hashes.try_emplace(a.password);
    if (fresh) at->second = auth::hashPassword(a.password, auth::HashCost::kMinimum).value();
    const int64_t banned = banKaya && a.name == "Kaya" ? world::kBannedForever : 0;
    if (!store->add({a.name, at->second, false, banned}).isOk()) fuzz::broken("an account cannot be added");
  }
  return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const world::WorldDefinition def = definition(in);
  const bool banKaya = in.flag();
  std::unique_ptr<world::AccountStore> store = storeOf(def, banKaya);
  world::WorldCore core(def);
  core.useAccounts(*store);
  world::ThrottleOptions options;
  options.freeFailuresPerAddress = 2;
  options.freeFailuresPerName = 2;
  world::LoginThrottle throttle(options);
  auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1);
  const char* const sources[] = {"10.0.0.1", "10.0.0.2", "2001:db8::1"};
  const bool botPort = in.flag();
  const std::string_view bytes = in.rest();

  std::vector<std::shared_ptr<Link>> links;
  std::string source = sources[0];
  std::optional<PlayerLogin> login;
  std::string asked;  // the registered name whose password is asked for
  std::string held;   // the password waiting for the name's turn
  int connection = 0;
  auto newConnection = [&] {
    source = sources[connection++ % 3];
    login.emplace(throttle, source);
    asked.clear();
  };
  newConnection();
  // The player enters the world; the next lines are a new connection's.
  auto enterWorld = [&](const std::string& name, world::AvatarKind kind) {
    auto link = std::make_shared<Link>();
    links.push_back(link);
    core.enter(link, name, kind);
    newConnection();
  };

  // The outcome of `password` (for `name`) must be the throttle's or the account's.
  std::function<void(const PlayerLogin::Outcome&, const std::string&)> checkOutcome =
      [&](const PlayerLogin::Outcome& o, const std::string& password) {
        const world::PlayerAccount* acc = accountOf(def, asked);
        const bool right = acc && acc->password == password;
        switch (o.step) {
          case Step::kVerify:
            // The port checks the hash off the world's thread; here, at once.
            if (!acc || o.name != asked || o.password != password) fuzz::broken("a check of the wrong password");
            checkOutcome(login->verified(core, auth::verifyPassword(o.storedHash, o.password), now), password);
            return;
          case Step::kRegistered:
            if (!right) fuzz::broken("a registered name entered without its password");
            if (banKaya && o.name == "Kaya") fuzz::broken("a banned name entered");
            if (o.takesOver && !core.takeOver(o.name)) fuzz::broken("a take-over with nobody to take over from");
            if (core.nameInUse(o.name)) fuzz::broken("a registered name entered while it is in use");
            enterWorld(o.name, world::AvatarKind::kRegistered);
            return;
          case Step::kBanned:
            if (!right || !(banKaya && o.name == "Kaya")) fuzz::broken("a ban told without the right password");
            return;
          case Step::kWrongPassword:
            if (right) fuzz::broken("the right password was called wrong");
            return;
          case Step::kTooManyWrong:
            if (right) fuzz::broken("the right password was called wrong");
            newConnection();
            return;
          case Step::kNameInUse:
            return;
          default:
            fuzz::broken("a password was answered with a name's outcome");
        }
      };

  net::LineBuffer lines(botPort ? net::kMaxBotLine : 1000, botPort ? net::LineEnds::kLineFeed : net::LineEnds::kAny);
  lines.feed(
      bytes,
      [&](std::string_view line) {
        // Time passes between lines: the line's length in tenths of a second.
        now += std::chrono::milliseconds(100 * (line.size() % 64));
        if (botPort) {
          auto call = net::parseBotLine(line);
          if (!call.isOk() || call.value().kind != net::CallKind::kStartBot) return true;
          const net::BotCall& c = call.value();
          const std::string account = "citizen " + std::to_string(c.citizen);
          auto d = throttle.admit(source, account, now);
          if (d.verdict == world::LoginThrottle::Verdict::kRefused) {
            if (d.wait.count() <= 0) fuzz::broken("a refusal without a wait");
            return true;
          }
          if (d.verdict == world::LoginThrottle::Verdict::kCheckLater) now += d.wait;
          auto link = std::make_shared<Link>();
          links.push_back(link);
          world::WorldCore::BotLogin result = core.startBot(link, c);
          bool right = false;
          for (const auto& b : def.bots) right = right || (b.citizen == c.citizen && b.password == c.password);
          if (result.code == 0 && !right) fuzz::broken("a bot logged in without its password");
          if (result.code == 1 && right) fuzz::broken("a bot's right password was refused");
          if (result.code == 1) throttle.failed(source, account, now);
          if (result.code == 0) throttle.succeeded(source, account, now);
          if (line.size() % 3 == 0) source = sources[(line.size() / 3) % 3];
          return true;
        }

        if (!held.empty()) {
          // The held password is checked first, once its wait is over.
          std::string password = std::move(held);
          held.clear();
          checkOutcome(login->checkHeld(core, now), password);
        }
        PlayerLogin::Outcome o = login->offer(core, line, now);
        switch (o.step) {
          case Step::kPasswordAsked:
            if (!accountOf(def, o.name)) fuzz::broken("a password asked for an unregistered name");
            asked = o.name;
            break;
          case Step::kGuest: {
            if (o.name.size() < 2 || o.name.front() != '"' || o.name.back() != '"')
              fuzz::broken("a guest not shown in double quotes");
            if (!def.guests) fuzz::broken("a guest entered a world without guests");
            if (def.maxGuests && core.guestCount() >= *def.maxGuests) fuzz::broken("a guest past the cap");
            enterWorld(o.name, world::AvatarKind::kGuest);
            break;
          }
          case Step::kThrottled:
          case Step::kCheckLater:
            if (o.wait.count() <= 0) fuzz::broken("a throttled attempt without a wait");
            if (o.step == Step::kCheckLater) {
              now += o.wait;
              held = std::string(line);
              if (held.empty()) checkOutcome(login->checkHeld(core, now), "");
            }
            break;
          case Step::kVerify:
          case Step::kRegistered:
          case Step::kWrongPassword:
          case Step::kTooManyWrong:
          case Step::kBanned:
            checkOutcome(o, std::string(line));
            break;
          case Step::kBusy:
            fuzz::broken("the log-in itself said busy; only a port may");
          case Step::kNameRefused:
          case Step::kNameInUse:
          case Step::kGuestsClosed:
          case Step::kGuestsFull:
            break;
        }
        return true;
      },
      [] { return true; });
  if (!held.empty()) checkOutcome(login->checkHeld(core, now), held);
  return 0;
}
