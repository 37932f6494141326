// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

class TestFolder {
public:
    TestFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "core-test-XXXXXX").string();
        fPath = mkdtemp(pattern.data());
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(fPath, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::string& path() const { return fPath; }
    std::string operator/(const std::string& name) const { return fPath + "/" + name; }

private:
    std::string fPath;
};
