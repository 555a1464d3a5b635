// The operator's console password: an Argon2id hash in the data folder
// (console_password.txt, readable by its owner alone), set with
// `kelvabot console-password --data-dir DIR`, which reads the password from
// standard input (without echo on a terminal).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "data/file_system.h"
#include "data/result.h"

namespace kelva::console::web {

inline constexpr const char* kConsolePasswordFileName = "console_password.txt";
// Shorter passwords are refused: the console changes characters' values.
inline constexpr std::size_t kShortestConsolePassword = 8;

// The stored hash; nullopt in the value when no password is set yet.
Result<std::optional<std::string>> loadConsolePasswordHash(FileSystem& files, const std::string& dataDir);

// Hashes `password` and stores it, replacing any earlier one atomically, the
// file made readable by the owner alone. Refuses a password that is too
// short or holds a line break.
Status storeConsolePassword(FileSystem& files, const std::string& dataDir, const std::string& password);

// The command: `args` are those after "console-password". Reads one line
// from `in` (standard input's descriptor is `inFd`, for switching its echo
// off); returns the exit status (0 stored, 2 a bad command line, 1 refused).
int runConsolePasswordCommand(const std::vector<std::string>& args, int inFd, std::istream& in, std::ostream& out,
                              std::ostream& err);

}  // namespace kelva::console::web
