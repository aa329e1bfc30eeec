#pragma once
// A fresh folder for one test under the system's temporary folder, removed afterwards, the
// sorted names of what a folder holds, and whole files read and written.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct TScratchDir {
  TScratchDir() : Path((std::filesystem::temp_directory_path() / "zeltest-XXXXXX").string()) {
    if (!mkdtemp(Path.data())) throw std::runtime_error("cannot create " + Path);
  }
  ~TScratchDir() { std::filesystem::remove_all(Path, Error); }
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;
  std::string operator/(const std::string& Name) const { return Path + "/" + Name; }
  std::string File(const std::string& Name) const { return *this / Name; }
  std::string Path;
  std::error_code Error;
};

inline std::vector<std::string> Listing(const std::string& Dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string ReadFile(const std::filesystem::path& Path) {
  std::ostringstream text;
  text << std::ifstream(Path, std::ios::binary).rdbuf();
  return text.str();
}

inline void WriteFile(const std::filesystem::path& Path, const std::string& Text) {
  std::ofstream(Path, std::ios::binary) << Text;
}
