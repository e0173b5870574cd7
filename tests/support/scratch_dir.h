// A fresh directory for the files of one test, removed when it ends. Its
// name is unique on the machine (mkdtemp), so suites run side by side, from
// one checkout or several, never share a file.
#pragma once

#include <filesystem>
#include <string>

namespace drovine_test {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes `text` to the file `name` and returns its path.
  std::string Write(const std::string& name, const std::string& text) const;

 private:
  std::filesystem::path path_;
};

}  // namespace drovine_test
