// Shared pieces of the hardening tests: scratch folders, whole files, and ways to make writes
// fail that bind root as well (a file-size limit, an immutable folder).
#pragma once

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/GeneralStuff.h"

namespace quintor::hardening {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of its scope.
struct TempFolder {
    std::string path = (fs::temp_directory_path() / "quintor-hardening-XXXXXX").string();
    TempFolder() { EXPECT_NE(::mkdtemp(path.data()), nullptr); }
    TempFolder(const TempFolder&) = delete;
    ~TempFolder() {   // with write permission back, so that it can be emptied
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

inline std::string ReadBytes(const std::string& path) {   // empty for a missing file
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    EXPECT_TRUE(out.write(bytes.data(), std::streamsize(bytes.size()))) << path;
}
inline long Entries(const std::string& dir) {   // files and folders in dir
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}
inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The text of the exception E that f throws, or a failure when it throws none.
template <typename E, typename F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error thrown";
    return "";
}

// While it lives, no file of this process grows beyond limit bytes: a write past it fails with
// EFBIG (SIGXFSZ is ignored).
struct FileSizeLimit {
    rlimit saved{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lowered{limit, saved.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &lowered), 0);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, handler); }
};

// Makes an existing folder take no new file while it lives: without write permission for a
// plain user; for root, which passes every permission check, immutable. Locked() is false where
// the file system cannot make it immutable.
struct FolderLock {
    std::string path;
    bool immutable = false;
    explicit FolderLock(std::string dir) : path(std::move(dir)) {
        if (::geteuid() != 0)
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_exec);
        else
            immutable = SetImmutable(true);
    }
    FolderLock(const FolderLock&) = delete;
    ~FolderLock() {   // write permission back, so that it can be emptied
        if (immutable) SetImmutable(false);
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    }
    bool Locked() const { return ::geteuid() != 0 || immutable; }
    bool SetImmutable(bool on) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) ::close(fd);
        return ok;
    }
};

// A fresh folder that takes no new file; where it cannot be locked (root on a file system
// without the immutable flag), no write succeeds while it lives (file-size limit 0, which hits
// the run log as well).
struct UnwritableFolder {
    TempFolder folder;
    FolderLock lock{folder.path};
    std::unique_ptr<FileSizeLimit> limit = lock.Locked() ? nullptr : std::make_unique<FileSizeLimit>(0);
    const std::string& Path() const { return folder.path; }
    bool Refuses() const { return !limit; }   // else the run log may be what fails first
};

}  // namespace quintor::hardening
