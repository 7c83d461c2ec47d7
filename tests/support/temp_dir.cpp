#include "tests/support/temp_dir.h"

#include <fstream>
#include <random>
#include <stdexcept>

// A name nobody has taken, made by whoever creates it first.
TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = std::filesystem::temp_directory_path() /
                ("tgltest-" + std::to_string(random() % 1000000000));
        if (std::filesystem::create_directory(path_)) return;
    }
    throw std::runtime_error("no fresh temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

CurrentDirectory::CurrentDirectory(const std::filesystem::path& folder)
    : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

CurrentDirectory::~CurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::vector<std::string> readLines(const std::string& fileName) {
    std::vector<std::string> lines;
    std::ifstream in(fileName);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
