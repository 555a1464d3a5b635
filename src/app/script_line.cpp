#include "app/script_line.h"

#include "data/numbers.h"

namespace kelva::app {

namespace {

// The fields of a line, taken off the front one at a time. Fields are
// separated by one blank; the last field of a line is the rest of it.
class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : rest_(text) {}

  // The next field that holds no blank; nullopt when the line has ended.
  std::optional<std::string_view> word() {
    if (ended_) return std::nullopt;
    const auto blank = rest_.find(' ');
    std::string_view field = rest_.substr(0, blank);
    if (blank == std::string_view::npos) {
      ended_ = true;
      rest_ = {};
    } else {
      rest_ = rest_.substr(blank + 1);
    }
    return field;
  }
  // The rest of the line, verbatim; empty when the line has ended.
  std::string_view rest() {
    const std::string_view r = ended_ ? std::string_view() : rest_;
    ended_ = true;
    rest_ = {};
    return r;
  }
  bool ended() const { return ended_; }

 private:
  std::string_view rest_;
  bool ended_ = false;
};

Status missing(const char* field, const char* form) {
  return Status::error(std::string("missing ") + field + " (the line reads: " + form + ")");
}

std::optional<int32_t> number(std::string_view text) { return tryStrictLong(text); }

Status notANumber(const char* field, std::string_view text) {
  return Status::error(std::string(field) + " \"" + std::string(text) + "\" is not a number in range");
}

using LineResult = Result<std::optional<ScriptLine>>;

LineResult done(ScriptLine line) { return std::optional<ScriptLine>(std::move(line)); }

// A count of ticks: absent or empty means 1; otherwise a number, not negative.
LineResult parseCount(ScriptLine line, FieldReader& f, const char* field) {
  const std::string_view text = f.rest();
  if (text.empty()) {
    line.count = 1;
    return done(std::move(line));
  }
  const auto n = number(text);
  if (!n || *n < 0) return Status::error(std::string(field) + " \"" + std::string(text) + "\" is not a count");
  line.count = *n;
  return done(std::move(line));
}

// Parses the line of `command` whose fields follow in `f`.
LineResult parseCommand(std::string_view command, FieldReader& f) {
  ScriptLine line;
  if (command == "login") {
    constexpr const char* form = "login CITIZEN PASSWORD WORLD BOTNAME X Y Z";
    line.command = ScriptCommand::kLogin;
    static constexpr const char* kNames[] = {"CITIZEN", "PASSWORD", "WORLD", "BOTNAME", "X", "Y"};
    for (const char* field : kNames) {
      const auto w = f.word();
      if (!w) return missing(field, form);
      line.answers.emplace_back(*w);
    }
    if (f.ended()) return missing("Z", form);
    line.answers.emplace_back(f.rest());
    // The citizen number and the coordinates must be numbers: script mode
    // has no operator to ask again.
    static constexpr std::pair<int, const char*> kNumbers[] = {{0, "CITIZEN"}, {4, "X"}, {5, "Y"}, {6, "Z"}};
    for (const auto& [index, field] : kNumbers) {
      const std::string& text = line.answers[static_cast<std::size_t>(index)];
      if (!number(text)) return notANumber(field, text);
    }
    return done(std::move(line));
  }
  if (command == "world-login-result") {
    line.command = ScriptCommand::kWorldLoginResult;
    if (f.ended()) return missing("CODE", "world-login-result CODE");
    const std::string_view text = f.rest();
    const auto code = number(text);
    if (!code) return notANumber("CODE", text);
    line.number = *code;
    return done(std::move(line));
  }
  if (command == "world-query-rounds") {
    line.command = ScriptCommand::kWorldQueryRounds;
    if (f.ended()) return missing("N", "world-query-rounds N");
    const std::string_view text = f.rest();
    const auto rounds = number(text);
    if (!rounds || *rounds < 1) return Status::error("N \"" + std::string(text) + "\" is not a count of 1 or more");
    line.count = *rounds;
    return done(std::move(line));
  }
  if (command == "world-add") {
    constexpr const char* form = "world-add NUMBER MODEL X Y Z [ACTION]";
    line.command = ScriptCommand::kWorldAdd;
    const auto numberText = f.word();
    if (!numberText) return missing("NUMBER", form);
    const auto model = f.word();
    if (!model) return missing("MODEL", form);
    const auto x = f.word();
    if (!x) return missing("X", form);
    const auto y = f.word();
    if (!y) return missing("Y", form);
    const auto z = f.word();
    if (!z) return missing("Z", form);
    const auto n = number(*numberText);
    if (!n) return notANumber("NUMBER", *numberText);
    const auto xv = number(*x);
    if (!xv) return notANumber("X", *x);
    const auto yv = number(*y);
    if (!yv) return notANumber("Y", *y);
    const auto zv = number(*z);
    if (!zv) return notANumber("Z", *z);
    line.object.number = *n;
    line.object.model = std::string(*model);
    line.object.x = *xv;
    line.object.y = *yv;
    line.object.z = *zv;
    line.object.action = std::string(f.rest());
    return done(std::move(line));
  }
  if (command == "world-delete") {
    line.command = ScriptCommand::kWorldDelete;
    if (f.ended()) return missing("NUMBER", "world-delete NUMBER");
    const std::string_view text = f.rest();
    const auto n = number(text);
    if (!n) return notANumber("NUMBER", text);
    line.number = *n;
    return done(std::move(line));
  }
  if (command == "arrive") {
    line.command = ScriptCommand::kArrive;
    line.name = std::string(f.rest());
    return done(std::move(line));
  }
  if (command == "chat") {
    constexpr const char* form = "chat NAME SESSION TEXT";
    line.command = ScriptCommand::kChat;
    const auto name = f.word();
    if (!name) return missing("NAME", form);
    const auto session = f.word();
    if (!session) return missing("SESSION", form);
    const auto s = number(*session);
    if (!s) return notANumber("SESSION", *session);
    line.name = std::string(*name);
    line.session = *s;
    line.text = std::string(f.rest());
    return done(std::move(line));
  }
  if (command == "click-object") {
    constexpr const char* form = "click-object NAME SESSION NUMBER";
    line.command = ScriptCommand::kClickObject;
    const auto name = f.word();
    if (!name) return missing("NAME", form);
    const auto session = f.word();
    if (!session) return missing("SESSION", form);
    if (f.ended()) return missing("NUMBER", form);
    const std::string_view numberText = f.rest();
    const auto s = number(*session);
    if (!s) return notANumber("SESSION", *session);
    const auto n = number(numberText);
    if (!n) return notANumber("NUMBER", numberText);
    line.name = std::string(*name);
    line.session = *s;
    line.number = *n;
    return done(std::move(line));
  }
  if (command == "click-avatar") {
    constexpr const char* form = "click-avatar NAME SESSION CLICKEDNAME CLICKEDSESSION";
    line.command = ScriptCommand::kClickAvatar;
    const auto name = f.word();
    if (!name) return missing("NAME", form);
    const auto session = f.word();
    if (!session) return missing("SESSION", form);
    const auto clicked = f.word();
    if (!clicked) return missing("CLICKEDNAME", form);
    if (f.ended()) return missing("CLICKEDSESSION", form);
    const std::string_view clickedSession = f.rest();
    const auto s = number(*session);
    if (!s) return notANumber("SESSION", *session);
    const auto cs = number(clickedSession);
    if (!cs) return notANumber("CLICKEDSESSION", clickedSession);
    line.name = std::string(*name);
    line.session = *s;
    line.clickedName = std::string(*clicked);
    line.clickedSession = *cs;
    return done(std::move(line));
  }
  if (command == "queue") {
    line.command = ScriptCommand::kQueue;
    auto inner = parseScriptLine(f.rest());
    if (!inner.isOk()) return inner.status();
    if (!inner.value()) return Status::error("queue needs an event line");
    line.queued = std::make_shared<const ScriptLine>(std::move(*inner.value()));
    if (!line.queued->isEventLine(true)) return Status::error("queue takes only event lines");
    return done(std::move(line));
  }
  if (command == "pump") {
    line.command = ScriptCommand::kPump;
    return parseCount(std::move(line), f, "N");
  }
  if (command == "timer1") {
    line.command = ScriptCommand::kTimer1;
    return parseCount(std::move(line), f, "N");
  }
  if (command == "timer2") {
    line.command = ScriptCommand::kTimer2;
    return parseCount(std::move(line), f, "N");
  }
  if (command == "admin") {
    line.command = ScriptCommand::kAdmin;
    const auto index = f.word();
    if (!index) return missing("INDEX", "admin INDEX NAME");
    const auto i = number(*index);
    if (!i || *i < 0 || *i > 6) return Status::error("INDEX \"" + std::string(*index) + "\" is not a box from 0 to 6");
    line.number = *i;
    line.name = std::string(f.rest());
    return done(std::move(line));
  }
  if (command == "select") {
    line.command = ScriptCommand::kSelect;
    line.name = std::string(f.rest());
    return done(std::move(line));
  }
  if (command == "text2" || command == "text3") {
    line.command = command == "text2" ? ScriptCommand::kText2 : ScriptCommand::kText3;
    line.text = std::string(f.rest());
    return done(std::move(line));
  }
  if (command == "change" || command == "close") {
    line.command = command == "change" ? ScriptCommand::kChange : ScriptCommand::kClose;
    if (!f.ended()) return Status::error(std::string(command) + " takes nothing after it");
    return done(std::move(line));
  }
  return Status::error("unknown command \"" + std::string(command) + "\"");
}

}  // namespace

bool ScriptLine::isEventLine(bool loggedIn) const {
  switch (command) {
    case ScriptCommand::kArrive:
    case ScriptCommand::kChat:
    case ScriptCommand::kClickObject:
    case ScriptCommand::kClickAvatar:
      return true;
    case ScriptCommand::kWorldAdd:
    case ScriptCommand::kWorldDelete:
      return loggedIn;
    default:
      return false;
  }
}

Result<std::optional<ScriptLine>> parseScriptLine(std::string_view text) {
  if (text.find_first_not_of(" \t") == std::string_view::npos) return std::optional<ScriptLine>();
  if (text.front() == '#') return std::optional<ScriptLine>();
  FieldReader f(text);
  const std::string_view command = *f.word();
  return parseCommand(command, f);
}

}  // namespace kelva::app
