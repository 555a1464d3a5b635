// Which file the web port serves for a request path, and as what type.
//
// The page's files come from the world's asset folder; `/three/...` comes
// from the three.js the system's package installed. Nothing outside those two
// folders is ever served: a path holding "..", a backslash, a NUL or an
// encoded form of any of them is refused, and so is a folder (no listings).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelva::world {

struct WebRoots {
  std::string assets;  // the page: index.html, kelva.js, ...
  std::string three;   // three.js (three.min.js, ...)
};

// The file that answers `target` (the request's path, with an optional query
// that is ignored), or nullopt when there is none to serve: 404.
std::optional<std::string> webFileFor(std::string_view target, const WebRoots& roots);

// The Content-Type for a file name, by its extension.
std::string_view webContentType(std::string_view fileName);

}  // namespace kelva::world
