// What the crash tests share: reading and writing whole files, counting
// failures, the seed of a run and its data folder.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

namespace kelva::crash {

namespace fs = std::filesystem;

inline std::optional<std::string> slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void spit(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

inline int failures = 0;
inline void fail(const std::string& what) {
  std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  ++failures;
}

// The command line of a crash test, KELVABOT [ROUNDS [SEED]]: the seed is
// taken from the clock when none is given, and the run says how to repeat
// itself. nullopt (after the usage) when KELVABOT is missing.
struct RunArguments {
  std::string bot;
  int rounds = 0;
  unsigned seed = 0;
};
inline std::optional<RunArguments> runArguments(int argc, char** argv, const char* test, int defaultRounds) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s KELVABOT [ROUNDS [SEED]]\n", argv[0]);
    return std::nullopt;
  }
  RunArguments a;
  a.bot = argv[1];
  a.rounds = argc > 2 ? std::atoi(argv[2]) : defaultRounds;
  a.seed = argc > 3 ? static_cast<unsigned>(std::atol(argv[3]))
                    : static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count());
  std::printf("%s: %d rounds, seed %u (rerun with: %s %s %d %u)\n", test, a.rounds, a.seed, argv[0], argv[1], a.rounds,
              a.seed);
  return a;
}

// A fresh folder below the working folder (on a real disk), named after `prefix`.
inline std::optional<fs::path> makeFolder(const std::string& prefix) {
  std::string pattern = (fs::current_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return std::nullopt;
  }
  return fs::path(pattern);
}

// Starts KELVABOT on the world script `script` with the data folder `dir`,
// its transcript to the descriptor `out` and its errors to the file `err`;
// `inChild` runs in the new process just before the bot starts (limits,
// signals).
inline pid_t startScriptBot(const std::string& bot, const fs::path& dir, const fs::path& script, int out,
                            const fs::path& err, const std::function<void()>& inChild = {}) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out, 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    if (inChild) inChild();
    ::execl(bot.c_str(), bot.c_str(), "--script", script.c_str(), "--data-dir", dir.c_str(), "--seed", "1",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return child;
}

// The end of a run: the data folder is removed when everything held, and
// kept for a look when something failed; the exit status says which.
inline int finish(const fs::path& dir) {
  std::error_code ignored;
  if (failures == 0) fs::remove_all(dir, ignored);
  std::printf("%s\n", failures == 0 ? "PASS" : "FAIL (data folder kept)");
  return failures == 0 ? 0 : 1;
}

}  // namespace kelva::crash
