#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Makes a folder current for as long as the object lives.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::filesystem::path& folder);
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;
    ~CurrentDirectory();

  private:
    std::filesystem::path previous_;
};

// Lines of a text file, without their line ends; empty when it cannot be read.
std::vector<std::string> readLines(const std::string& fileName);
