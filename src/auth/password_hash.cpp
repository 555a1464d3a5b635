#include "auth/password_hash.h"

#include <sodium.h>

#include <vector>

namespace kelva::auth {

namespace {

bool sodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace

Result<std::string> hashPassword(std::string_view password, HashCost cost) {
  if (!sodiumReady()) return Status::error("the password library cannot start");
  const auto ops = cost == HashCost::kMinimum ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
  const auto mem = cost == HashCost::kMinimum ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;
  char stored[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(stored, password.data(), password.size(), ops, mem) != 0) {
    return Status::error("not enough memory to hash the password");
  }
  return std::string(stored);
}

bool verifyPassword(const std::string& stored, std::string_view password) {
  if (!sodiumReady() || stored.empty() || stored.size() >= crypto_pwhash_STRBYTES) return false;
  return crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) == 0;
}

std::string randomToken(std::size_t bytes) {
  if (!sodiumReady()) return {};
  std::vector<unsigned char> raw(bytes);
  randombytes_buf(raw.data(), raw.size());
  std::string hex(bytes * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), raw.data(), raw.size());
  hex.pop_back();
  return hex;
}

bool sameToken(std::string_view a, std::string_view b) {
  if (a.size() != b.size() || a.empty()) return false;
  return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace kelva::auth
