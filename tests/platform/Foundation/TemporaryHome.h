// A fresh folder standing for HOME and XDG_CONFIG_HOME for the length of a test.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

class TemporaryHome {
public:
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    TemporaryHome() {
        static std::atomic<int> count{0};
        mPath = std::filesystem::temp_directory_path() /
                ("beatwick-home-" + std::to_string(::getpid()) + "-" + std::to_string(count++));
        std::filesystem::remove_all(mPath);
        std::filesystem::create_directories(mPath / "config");
        save("HOME", mOldHome);
        save("XDG_CONFIG_HOME", mOldConfig);
        ::setenv("HOME", mPath.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (mPath / "config").c_str(), 1);
    }
    ~TemporaryHome() {
        restore("HOME", mOldHome);
        restore("XDG_CONFIG_HOME", mOldConfig);
        std::error_code ignored;
        std::filesystem::remove_all(mPath, ignored);
    }

    const std::filesystem::path& path() const { return mPath; }
    std::filesystem::path preferences() const { return mPath / "config" / "Beatwick" / "Preferences"; }

    static std::string contents(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

private:
    static void save(const char* name, std::optional<std::string>& into) {
        if (const char* value = std::getenv(name)) into = value;
    }
    static void restore(const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

    std::filesystem::path mPath;
    std::optional<std::string> mOldHome;
    std::optional<std::string> mOldConfig;
};
