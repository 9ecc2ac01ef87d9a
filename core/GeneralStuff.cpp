#include "core/GeneralStuff.h"

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <locale.h>
#include <ostream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fcntl.h>

namespace quintor {

// ---- Errors ----------------------------------------------------------------------------------

CheckFailure::CheckFailure(std::string_view proc, std::string_view cond)
    : std::logic_error(std::string(proc) + ": " + std::string(cond) + " FAILED") {}

void Fail(std::string_view proc, std::string_view cond) { throw CheckFailure(proc, cond); }

long long CheckRange(long long v, long long lo, long long hi, std::string_view what) {
    if (v < lo || v > hi)
        throw RangeError(std::string(what) + " = " + std::to_string(v) + " is outside " +
                         std::to_string(lo) + ".." + std::to_string(hi));
    return v;
}

namespace {
std::string OsReason(int err) { return std::strerror(err); }

IOError FileError(std::string_view action, std::string_view path, int err) {
    return IOError(std::string(action) + " '" + std::string(path) + "': " + OsReason(err));
}
}  // namespace

// ---- Formatting --------------------------------------------------------------------------------

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, args);
    va_end(args);
    std::string s;
    if (n > 0) {
        s.resize(std::size_t(n));
        // The buffer of a std::string always has room for the terminating zero.
        std::vsnprintf(s.data(), std::size_t(n) + 1, fmt, again);
    }
    va_end(again);
    return s;
}

std::string IntToStrW(long long n, int width) {
    std::string s = std::to_string(n);
    if (int(s.size()) < width) s.insert(0, std::size_t(width) - s.size(), ' ');
    return s;
}

std::string RepeatStr(std::string_view s, int n) {
    CheckRange(n, 0, 1 << 24, "RepeatStr count");
    std::string r;
    r.reserve(s.size() * std::size_t(n));
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

char UpCase(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

int DigitValue(char c) { return c - '0'; }

char DigitChar(int n) { return char('0' + CheckRange(n, 0, 9, "digit")); }

std::string FixedStr(double v, int decimals) { return Format("%.*f", decimals, v); }

std::string GeneralStr(double v) { return Format("%.15g", v); }

std::string TrimStr(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) < 33) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) < 33) --e;
    return std::string(s.substr(b, e - b));
}

// ---- Run log -----------------------------------------------------------------------------------

namespace {

// Swallows everything: the log outside its open window.
class NullBuf : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// A buffered file descriptor whose write errors surface as IOError (the stream rethrows them
// because its exception mask holds badbit).
class LogBuf : public std::streambuf {
public:
    bool Open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0) return false;
        path_ = path;
        setp(buf_, buf_ + sizeof buf_);
        return true;
    }
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // Flushes and closes; the descriptor is closed even when the flush fails.
    void Close() {
        if (fd_ < 0) return;
        int err = Drain();
        if (::close(fd_) != 0 && err == 0) err = errno;
        fd_ = -1;
        setp(nullptr, nullptr);
        Raise(err);
    }

protected:
    int overflow(int c) override {
        Raise(Drain());
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        Raise(Drain());
        return 0;
    }

private:
    void Raise(int err) const {
        if (err != 0) throw FileError("Cannot write the run log", path_, err);
    }
    // Writes the buffer out; returns 0 or the OS error. The buffer is emptied even on failure,
    // so one error is not reported again and again.
    int Drain() {
        const char* p = pbase();
        std::size_t left = std::size_t(pptr() - pbase());
        setp(buf_, buf_ + sizeof buf_);
        while (left > 0) {
            const ssize_t n = ::write(fd_, p, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            p += n;
            left -= std::size_t(n);
        }
        return 0;
    }

    int fd_ = -1;
    std::string path_;
    char buf_[4096];
};

NullBuf nullBuf;
std::ostream nullStream(&nullBuf);
LogBuf logBuf;
std::ostream logStream(&logBuf);

}  // namespace

std::ostream& LogFile() {
    if (!logBuf.IsOpen()) return nullStream;
    // A failed write leaves the stream bad; the next write should try (and report) again.
    if (!logStream.good()) logStream.clear();
    return logStream;
}

void FlushLog() { LogFile().flush(); }

std::string LogFilePath() { return logBuf.IsOpen() ? logBuf.Path() : std::string(); }

std::string DateTimeStamp() {
    // The user's locale decides the layout, without changing the process-wide locale.
    locale_t loc = ::newlocale(LC_TIME_MASK, "", locale_t(nullptr));
    if (!loc) loc = ::newlocale(LC_TIME_MASK, "C", locale_t(nullptr));
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char buf[128];
    std::size_t n = 0;
    if (loc) {
        n = ::strftime_l(buf, sizeof buf, "%x %X", &tm, loc);
        ::freelocale(loc);
    } else {
        n = std::strftime(buf, sizeof buf, "%x %X", &tm);
    }
    return std::string(buf, n);
}

void WriteStamped(std::ostream& out, std::string_view text) {
    out << text << " on " << DateTimeStamp() << '\n';
}

// ---- Program paths -----------------------------------------------------------------------------

std::string ExecutablePath() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) throw FileError("Cannot determine the program path", "/proc/self/exe", errno);
    buf.resize(std::size_t(n));
    return buf;
}

std::string DirectoryOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string FileNameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string LogPathFor(std::string_view exePath) {
    const std::string name = FileNameOf(exePath);
    const std::size_t dot = name.rfind('.');
    const std::string logName = (dot == std::string::npos ? name : name.substr(0, dot)) + ".log";
    return DirectoryOf(exePath) + (DirectoryOf(exePath) == "/" ? "" : "/") + logName;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DirectoryWritable(const std::string& dir) {
    return DirectoryExists(dir) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool KeepsFilesBeside(const std::string& dir) {
    return DirectoryWritable(dir) && !FileExists(dir + InstalledMarker);
}

namespace {
std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    throw IOError("Cannot determine the home directory");
}

// An XDG base directory: the variable when it holds an absolute path, else the default below home.
std::string BaseDirectory(const char* var, const char* fallback) {
    const char* v = std::getenv(var);
    if (v && v[0] == '/') return v;
    return HomeDirectory() + "/" + fallback;
}
}  // namespace

std::string UserFolder(std::string_view kind) {
    std::string base;
    if (kind == "state")
        base = BaseDirectory("XDG_STATE_HOME", ".local/state");
    else if (kind == "config")
        base = BaseDirectory("XDG_CONFIG_HOME", ".config");
    else if (kind == "data")
        base = BaseDirectory("XDG_DATA_HOME", ".local/share");
    else if (kind == "cache")
        base = BaseDirectory("XDG_CACHE_HOME", ".cache");
    else
        throw RangeError("user folder kind '" + std::string(kind) + "' is unknown");
    const std::string dir = base + "/QuintorTrainer";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !DirectoryExists(dir)) throw FileError("Cannot create the folder", dir, ec ? ec.value() : ENOTDIR);
    return dir;
}

std::string UserFilePath(const std::string& exeDir, std::string_view name, std::string_view kind) {
    if (exeDir.empty() || !KeepsFilesBeside(exeDir)) return UserFolder(kind) + "/" + std::string(name);
    return exeDir + "/" + std::string(name);
}

void WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
    // Only a regular file is replaced: the rename would remove a device, pipe or socket node
    // of that name (as root even in /dev), and a directory cannot take a file's place.
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
        throw IOError("Cannot write file '" + path + "': " +
                      (S_ISDIR(target.st_mode) ? "it is a directory" : "it is not a regular file"));
    const std::string dir = DirectoryOf(path);
    const std::string stem = (dir == "/" ? "/" : dir + "/") + "." + FileNameOf(path) + ".tmp";
    static unsigned serial = 0;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp = stem + std::to_string(::getpid()) + "-" + std::to_string(++serial);
        // The kernel applies the umask to 0666, as for any newly created file.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt >= 100))
            throw FileError("Cannot write file", path, errno);
    }
    int err = 0;
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    while (left > 0 && err == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno != EINTR) err = errno;
            continue;
        }
        p += n;
        left -= std::size_t(n);
    }
    // A replaced file keeps its permissions.
    struct stat st {};
    if (err == 0 && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::fchmod(fd, st.st_mode & 07777);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        throw FileError("Cannot write file", path, err);
    }
    // Makes the rename itself durable; a failure here no longer endangers either version.
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void WriteTextFileAtomically(const std::string& path, const std::string& text) {
    WriteFileAtomically(path, text.data(), text.size());
}

// ---- Console reader ----------------------------------------------------------------------------

namespace {
std::istream* consoleIn = nullptr;
std::ostream* consoleOut = nullptr;
char lookAhead = 0;
bool lookAheadFull = false;
// True while nothing of the current line has been consumed (at the start, after a line end).
bool atLineStart = true;

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == '_' || c == '\t'; }

// Fills the look-ahead buffer; false at the end of the input.
bool FillLookAhead() {
    if (lookAheadFull) return true;
    std::istream& in = ConsoleIn();
    const int c = in.get();
    if (c == std::char_traits<char>::eof()) {
        if (in.bad()) throw IOError("Cannot read the console input");
        return false;
    }
    lookAhead = char(c);
    lookAheadFull = true;
    return true;
}
}  // namespace

std::istream& ConsoleIn() { return consoleIn ? *consoleIn : std::cin; }
std::ostream& ConsoleOut() { return consoleOut ? *consoleOut : std::cout; }

void SetConsole(std::istream* in, std::ostream* out) {
    if (in) {
        consoleIn = in;
        ClearLookAhead();
    }
    if (out) consoleOut = out;
}

bool AtInputEnd() { return !FillLookAhead(); }

char PeekChar() {
    if (!FillLookAhead()) throw EndOfInput();
    return lookAhead;
}

void ConsumeChar() {
    if (!lookAheadFull) return;
    atLineStart = lookAhead == '\n';
    lookAheadFull = false;
}

void ReadNonBlank(char& c) {
    do {
        c = PeekChar();
        ConsumeChar();
    } while (IsSeparator(c));
}

bool AtListEnd() {
    while (FillLookAhead() && IsSeparator(lookAhead)) ConsumeChar();
    if (!lookAheadFull) return true;
    return lookAhead == ':' || lookAhead == ';' || lookAhead == '\n' || lookAhead == '\r';
}

void SkipListEnd() {
    if (FillLookAhead() && (lookAhead == ':' || lookAhead == ';')) ConsumeChar();
}

void SkipRestOfLine() {
    if (atLineStart && !lookAheadFull) return;
    while (FillLookAhead()) {
        const char c = lookAhead;
        ConsumeChar();
        if (c == '\n') return;
    }
}

void ClearLookAhead() {
    lookAheadFull = false;
    atLineStart = true;
}

// ---- Start-up ----------------------------------------------------------------------------------

namespace {
// Opens the log and writes its first line; false, with no log open, when either fails.
bool StartLog(const std::string& path) {
    if (!logBuf.Open(path)) return false;
    logStream.clear();
    logStream.exceptions(std::ios::badbit);
    try {
        WriteStamped(LogFile(), "Run Started");
        FlushLog();
        return true;
    } catch (const IOError&) {
        try {
            logBuf.Close();
        } catch (const IOError&) {
            // the same failure once more
        }
        logStream.clear();
        return false;
    }
}
}  // namespace

void InitGeneralStuff(const std::string& exePath) {
    DoneGeneralStuff();
    ClearLookAhead();
    const std::string primary = LogPathFor(exePath.empty() ? ExecutablePath() : exePath);
    // A log that cannot be created or written (a full disk) moves to the user's state folder;
    // failing that, the program runs on without one.
    if (KeepsFilesBeside(DirectoryOf(primary)) && StartLog(primary)) return;
    try {
        StartLog(UserFolder("state") + "/" + FileNameOf(primary));
    } catch (const IOError&) {
        // no state folder either
    }
}

void DoneGeneralStuff() {
    if (!logBuf.IsOpen()) return;
    try {
        WriteStamped(LogFile(), "Run Stopped");
    } catch (const IOError&) {
        logBuf.Close();   // closes, and reports a failing flush in its stead
        throw;
    }
    logBuf.Close();
}

}  // namespace quintor
