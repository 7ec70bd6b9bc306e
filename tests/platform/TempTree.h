#pragma once
// Temporary directory trees standing in for /sys, /run/lock and
// /dev/serial/by-id, and the environment variables that point the code there.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

struct TempTree {
    std::filesystem::path root;

    TempTree() {
        char pattern[] = "/tmp/norva-test-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            root = pattern;
        }
    }
    ~TempTree() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string operator/(const std::string& rel) const { return (root / rel).string(); }

    void Write(const std::string& rel, const std::string& text) const {
        std::filesystem::create_directories((root / rel).parent_path());
        std::ofstream(root / rel, std::ios::binary) << text;
    }
    void Link(const std::string& rel, const std::string& target) const {
        std::filesystem::create_directories((root / rel).parent_path());
        std::filesystem::create_symlink(target, root / rel);
    }
};

struct ScopedEnv {
    std::string name;
    ScopedEnv(std::string var, const std::string& value) : name(std::move(var)) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnv() { unsetenv(name.c_str()); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
