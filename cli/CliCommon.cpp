#include "cli/CliCommon.h"

#include <cctype>
#include <ostream>

#include "cli/Cli.h"
#include "core/GeneralStuff.h"

namespace quintor::cli {

void AddLocationOption(CLI::App* command, LocationOption& location) {
    location.option = AddTextOption(
        command, "--location", location.dir, "DIR",
        "The folder of the table files. Without it: a folder \"gstbl\" beside the program's "
        "folder if there is one, else the program's folder; an installed program uses "
        "$XDG_DATA_HOME/QuintorTrainer/gstbl.");
}

std::string TableLocation(const LocationOption& location) {
    if (location.Given()) return location.dir;
    return DefaultTableLocation(DirectoryOf(ExecutablePath()));
}

std::string TablePath(const std::string& location, std::string_view fileName) {
    if (!location.empty() && location.back() == '/') return location + std::string(fileName);
    return location + "/" + std::string(fileName);
}

void RequireLocation(const std::string& location) {
    if (location.empty()) throw CommandError("the table location is empty");
    if (FileExists(location))
        throw CommandError("the table location \"" + location + "\" is a file, not a directory");
    if (!DirectoryExists(location))
        throw CommandError("the table location \"" + location + "\" does not exist");
}

// Quotes a path for the shell when it holds anything but the plain characters of a path.
static std::string ShellWord(const std::string& s) {
    bool plain = !s.empty();
    for (char c : s)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' ||
              c == '-' || c == '+' || c == ':'))
            plain = false;
    if (plain) return s;
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string CreateCommandText(const LocationOption& location, std::string_view extra) {
    std::string text = "quintor tables create";
    if (!extra.empty()) text.append(" ").append(extra);
    if (location.Given()) text.append(" --location ").append(ShellWord(location.dir));
    return text;
}

void LoadExpectedTable(const LocationOption& given) {
    const std::string location = TableLocation(given);
    RequireLocation(location);
    const std::string file = TablePath(location, OptimalTableFileName);
    if (!FileExists(file))
        throw CommandError("the Optimal Expected Score table \"" + file +
                           "\" was not found.\nCreate it with: " + CreateCommandText(given));
    CreateCache(OptimalStrategy->Cache, "Optimal Expected Final Score", GrandTotal, file);
    OptimalStrategy->ExpectedCache = OptimalStrategy->Cache;
}

bool LoadVarianceTable(const std::string& location) {
    // Kept aside rather than dropped: cache records live until exit and are reused on reload.
    static CacheState* spare = nullptr;
    const std::string file = TablePath(location, VarianceTableFileName);
    if (!FileExists(file)) {
        if (OptimalStrategy->VarianceCache) spare = OptimalStrategy->VarianceCache;
        OptimalStrategy->VarianceCache = nullptr;
        return false;
    }
    if (!OptimalStrategy->VarianceCache) OptimalStrategy->VarianceCache = spare;
    try {
        CreateCache(OptimalStrategy->VarianceCache, "Variance in Final Score", GrandTotal, file);
    } catch (...) {
        spare = OptimalStrategy->VarianceCache;
        OptimalStrategy->VarianceCache = nullptr;
        throw;
    }
    return true;
}

void NoteMissingVariance(const std::string& location, std::ostream& err) {
    err << "quintor: could not find " << TablePath(location, VarianceTableFileName)
        << ". Standard deviations suppressed.\n";
}

// ---- LogMirror ---------------------------------------------------------------------------------

LogMirror::TeeBuf::int_type LogMirror::TeeBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    if (!copyFailed_ && traits_type::eq_int_type(copy_->sputc(ch), traits_type::eof()))
        copyFailed_ = true;
    return log_->sputc(ch);
}

std::streamsize LogMirror::TeeBuf::xsputn(const char* s, std::streamsize n) {
    if (!copyFailed_ && copy_->sputn(s, n) != n) copyFailed_ = true;
    return log_->sputn(s, n);
}

int LogMirror::TeeBuf::sync() {
    if (!copyFailed_ && copy_->pubsync() != 0) copyFailed_ = true;
    return log_->pubsync();
}

LogMirror::LogMirror(std::ostream& to)
    : log_(LogFile()), to_(to), old_(log_.rdbuf()), tee_(old_, to.rdbuf()) {
    log_.flush();
    log_.rdbuf(&tee_);
}

LogMirror::~LogMirror() {
    log_.flush();
    log_.rdbuf(old_);
    if (tee_.CopyFailed()) to_.setstate(std::ios::badbit);
}

// ---- ProgressBar -------------------------------------------------------------------------------

ProgressBar::ProgressBar(std::ostream& err, std::string title, int steps)
    : err_(err), title_(std::move(title)), steps_(steps > 0 ? steps : 1) {}

void ProgressBar::Step() {
    if (done_ >= steps_) return;
    ++done_;
    Draw();
}

void ProgressBar::Draw() {
    constexpr int width = 40;
    const int percent = int(100LL * done_ / steps_);
    if (percent == shown_ && done_ < steps_) return;   // at most about a hundred redraws
    shown_ = percent;
    const int filled = int(1LL * width * done_ / steps_);
    err_ << '\r' << title_ << " [" << std::string(std::size_t(filled), '#')
         << std::string(std::size_t(width - filled), '.') << "] " << IntToStrW(percent, 3) << '%';
    open_ = true;
    if (done_ == steps_) {
        err_ << '\n';
        open_ = false;
    }
    err_.flush();
}

void ProgressBar::Finish() {
    if (open_) err_ << '\n';
    open_ = false;
    err_.flush();
}

ProgressGuard::ProgressGuard(ProgressBar* optimal, ProgressBar* variance) : saved_(Progress()) {
    Progress().optimalStep =
        optimal ? std::function<void()>([optimal] { optimal->Step(); }) : std::function<void()>();
    Progress().varianceStep = variance ? std::function<void()>([variance] { variance->Step(); })
                                       : std::function<void()>();
}

ProgressGuard::~ProgressGuard() { Progress() = saved_; }

}  // namespace quintor::cli
