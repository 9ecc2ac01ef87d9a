// Shared pieces of the hardening tests: scratch folders, whole-file bytes, and ways to make
// writes fail that work for root as well (a file-size limit instead of permissions).
#pragma once

#include <string>

#include <sys/resource.h>

namespace quintor::hardening {

// A fresh folder, removed with everything in it at the end of its scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadBytes(const std::string& path);   // empty for a missing file
void WriteBytes(const std::string& path, const std::string& bytes);
// The names in a folder, sorted ("." and ".." left out).
std::string Listing(const std::string& dir);

bool RunningAsRoot();

// While it lives, no file of this process grows beyond limit bytes: a write past it fails with
// EFBIG (SIGXFSZ is ignored), also for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = nullptr;
};

// A folder that takes no new file: without write permission for a plain user; for root, which
// passes every permission check, marked immutable, or, where the file system cannot do that,
// with no write succeeding while it lives (file-size limit 0, which hits the run log as well).
class UnwritableFolder {
public:
    UnwritableFolder();
    ~UnwritableFolder();
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;
    const std::string& Path() const { return folder_.Path(); }
    // False in the last case: the failure may then be reported for the run log instead.
    bool Refuses() const { return limit_ == nullptr; }

private:
    bool SetImmutable(bool on);
    TempFolder folder_;
    FileSizeLimit* limit_ = nullptr;
    bool immutable_ = false;
};

}  // namespace quintor::hardening
