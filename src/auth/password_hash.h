// Passwords kept as Argon2id hashes (libsodium's crypto_pwhash_str): the
// operator's console password now, the world's accounts later. The stored
// text holds the salt and the cost, so a hash made today still verifies after
// the cost is raised. Hashing and verifying take a tenth of a second or more
// on purpose: call them off any thread that serves players.
#pragma once

#include <string>
#include <string_view>

#include "data/result.h"

namespace kelva::auth {

// How much work a hash costs: the interactive limits by default, the
// library's minimum for tests.
enum class HashCost { kInteractive, kMinimum };

// The stored text for `password`; an error when the library cannot start or
// runs out of memory. The clear text is never kept.
Result<std::string> hashPassword(std::string_view password, HashCost cost = HashCost::kInteractive);

// Whether `password` matches `stored`; false for any text that is no hash.
bool verifyPassword(const std::string& stored, std::string_view password);

// A random token of `bytes` bytes, written as hex (session cookies, form keys).
std::string randomToken(std::size_t bytes = 32);

// Whether two tokens are equal, in a time that does not depend on where they differ.
bool sameToken(std::string_view a, std::string_view b);

}  // namespace kelva::auth
