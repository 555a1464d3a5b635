#include "console/admin_names.h"

#include "state/form1.h"

namespace kelva::console {

namespace {

std::string adminNamesPath(const Form1& form) { return dataPath(form.dataDir, kAdminNamesFileName); }

}  // namespace

Status loadAdminNames(Form1& form) {
  const std::string path = adminNamesPath(form);
  auto read = form.files.readFile(path);
  if (!read.isOk()) {
    form.console.Text1Savable = false;
    return read.status();
  }
  if (!read.value()) return Status::ok();
  const std::string& text = *read.value();
  std::array<std::string, kAdminBoxes> names;
  std::size_t line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (line == kAdminBoxes) {
      form.console.Text1Savable = false;
      return Status::error(path + ": line " + std::to_string(line + 1) + ": more than seven administrator names");
    }
    std::string name = text.substr(start, end - start);
    if (!name.empty() && name.back() == '\r') name.pop_back();
    names[line++] = std::move(name);
    start = end + 1;
  }
  form.console.Text1 = names;
  return Status::ok();
}

Status setAdminName(Form1& form, std::size_t index, const std::string& name) {
  if (index >= kAdminBoxes) return Status::error("there is no administrator box " + std::to_string(index));
  if (name.find_first_of("\r\n") != std::string::npos) {
    return Status::error("an administrator name cannot hold a line break");
  }
  form.console.writeText1(index, name);
  if (!form.console.Text1Savable) {
    return Status::error(std::string(kAdminNamesFileName) +
                         " could not be read at start, so the boxes are not saved over it");
  }
  std::string text;
  for (const std::string& box : form.console.Text1) text += box + "\n";
  Status written = form.files.replaceFile(adminNamesPath(form), text);
  if (!written.isOk()) return Status::error("the administrator names are not kept: " + written.message());
  return Status::ok();
}

}  // namespace kelva::console
