#include "world/ports/web_origin.h"

#include <algorithm>
#include <cctype>

namespace kelva::world {

namespace {

// Schemes and host names compare without regard to case.
bool sameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool webOriginAllowed(std::string_view origin, std::string_view host, const std::vector<std::string>& listed) {
  if (origin.empty()) return true;
  for (const std::string& allowed : listed)
    if (sameText(origin, allowed)) return true;
  if (host.empty()) return false;
  for (std::string_view scheme : {"http://", "https://"})
    if (origin.size() == scheme.size() + host.size() && sameText(origin.substr(0, scheme.size()), scheme) &&
        sameText(origin.substr(scheme.size()), host))
      return true;
  return false;
}

}  // namespace kelva::world
