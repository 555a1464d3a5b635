#include "world/ports/web_files.h"

#include <array>
#include <filesystem>
#include <utility>

namespace kelva::world {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Undoes %XX escapes; nullopt for a broken escape. Decoding once is enough:
// the decoded path is then checked byte by byte, so a "%2e%2e" becomes ".."
// and is refused, and a "%252e" stays the harmless name "%2e".
std::optional<std::string> percentDecoded(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '%') {
      out += path[i];
      continue;
    }
    if (i + 2 >= path.size()) return std::nullopt;
    int hi = hexValue(path[i + 1]);
    int lo = hexValue(path[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

// Whether every segment of the path is an ordinary file or folder name.
bool plainSegments(std::string_view path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return false;
    // Empty segments ("//"), hidden files and editor leftovers are not the page's.
    if (segment.empty() || segment.front() == '.') return false;
    start = end + 1;
  }
  return true;
}

// Whether `file`, with every link on its way resolved, lies inside `root`
// (itself resolved, since the folder may be reached through a link).
bool insideFolder(const std::string& file, const std::string& root) {
  std::error_code ec;
  const std::filesystem::path realRoot = std::filesystem::canonical(root, ec);
  if (ec) return false;
  const std::filesystem::path realFile = std::filesystem::canonical(file, ec);
  if (ec) return false;
  const std::filesystem::path rel = realFile.lexically_relative(realRoot);
  return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

std::optional<std::string> webFileFor(std::string_view target, const WebRoots& roots) {
  std::string_view path = target.substr(0, target.find_first_of("?#"));
  if (path.empty() || path.front() != '/') return std::nullopt;
  std::optional<std::string> decoded = percentDecoded(path);
  if (!decoded) return std::nullopt;
  for (char c : *decoded)
    if (c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return std::nullopt;
  std::string relative = decoded->substr(1);
  if (relative.empty()) relative = "index.html";
  if (!plainSegments(relative)) return std::nullopt;

  std::string root = roots.assets;
  constexpr std::string_view kThree = "three/";
  if (relative.compare(0, kThree.size(), kThree) == 0) {
    root = roots.three;
    relative = relative.substr(kThree.size());
    if (relative.empty()) return std::nullopt;
  }
  if (root.empty()) return std::nullopt;
  std::string file = root + "/" + relative;
  std::error_code ec;
  // A regular file only: folders are never listed. A symbolic link is served
  // only when where it really leads lies inside the same folder (the
  // package's own links are such); a link planted to /etc is not.
  if (!std::filesystem::is_regular_file(file, ec) || ec) return std::nullopt;
  if (!insideFolder(file, root)) return std::nullopt;
  return file;
}

std::string_view webContentType(std::string_view fileName) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kTypes = {{
      {".html", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".json", "application/json"},
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".svg", "image/svg+xml"},
      {".ico", "image/x-icon"},
      {".txt", "text/plain; charset=utf-8"},
      {".wasm", "application/wasm"},
      {".woff2", "font/woff2"},
  }};
  std::size_t dot = fileName.rfind('.');
  std::size_t slash = fileName.rfind('/');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    std::string_view ext = fileName.substr(dot);
    for (const auto& [e, type] : kTypes)
      if (e == ext) return type;
  }
  return "application/octet-stream";
}

}  // namespace kelva::world
