// A scratch folder for one test, removed with everything in it when the test ends.
#pragma once

#include <string>

namespace plexivar::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Absolute path of `name` inside the folder.
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // Writes `content` to `name` inside the folder (binary, replacing) and returns its path.
    std::string Write(const std::string& name, const std::string& content) const;
    // The whole content of a file; empty when it cannot be read.
    static std::string Read(const std::string& path);

private:
    std::string path_;
};

// Changes the current directory for the life of the object and restores it afterwards.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& dir);
    ~ScopedCurrentDir();
    ScopedCurrentDir(const ScopedCurrentDir&) = delete;
    ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

private:
    std::string previous_;
};

}  // namespace plexivar::testing
