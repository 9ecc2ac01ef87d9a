#include "cli/CliCommon.h"

#include <cctype>
#include <ostream>

#include "cli/Cli.h"
#include "core/GeneralStuff.h"

namespace quintor::cli {

std::string Options::Value(std::string_view name, const std::string& fallback) const {
    auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
}

static bool Listed(std::initializer_list<std::string_view> names, std::string_view name) {
    for (auto n : names)
        if (n == name) return true;
    return false;
}

Options ParseOptions(const std::vector<std::string>& args,
                     std::initializer_list<std::string_view> valueOptions,
                     std::initializer_list<std::string_view> flagOptions, std::size_t maxPositional,
                     std::string_view command) {
    Options o;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            if (o.positional.size() == maxPositional)
                throw UsageError(std::string(command) + ": unexpected argument '" + a + "'");
            o.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a;
        std::string value;
        bool inlineValue = false;
        if (auto eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
            inlineValue = true;
        }
        if (Listed(valueOptions, name)) {
            if (!inlineValue) {
                if (i + 1 == args.size())
                    throw UsageError(std::string(command) + ": option " + name + " needs a value");
                value = args[++i];
            }
            if (o.values.count(name))
                throw UsageError(std::string(command) + ": option " + name + " given twice");
            o.values[name] = value;
        } else if (Listed(flagOptions, name) && !inlineValue) {
            o.flags.insert(name);
        } else if (Listed(flagOptions, name)) {
            throw UsageError(std::string(command) + ": option " + name + " takes no value");
        } else {
            throw UsageError(std::string(command) + ": unknown option '" + a + "'");
        }
    }
    return o;
}

long long ParseCount(const std::string& text, long long lo, long long hi, std::string_view name) {
    long long n = 0;
    bool ok = !text.empty() && text.size() <= 18;
    for (char c : text) {
        if (c < '0' || c > '9') {
            ok = false;
            break;
        }
        n = n * 10 + (c - '0');
    }
    if (!ok || n < lo || n > hi)
        throw UsageError(Format("option %.*s needs a number from %lld to %lld, not '%s'",
                                int(name.size()), name.data(), lo, hi, text.c_str()));
    return n;
}

std::string TableLocation(const Options& options) {
    if (options.values.count("--location")) return options.Value("--location");
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

std::string CreateCommandText(const Options& options, std::string_view extra) {
    std::string text = "quintor tables create";
    if (!extra.empty()) text.append(" ").append(extra);
    if (options.values.count("--location"))
        text.append(" --location ").append(ShellWord(options.Value("--location")));
    return text;
}

void LoadExpectedTable(const Options& options) {
    const std::string location = TableLocation(options);
    RequireLocation(location);
    const std::string file = TablePath(location, OptimalTableFileName);
    if (!FileExists(file))
        throw CommandError("the Optimal Expected Score table \"" + file +
                           "\" was not found.\nCreate it with: " + CreateCommandText(options));
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
    bool ok = true;
    if (a_ && traits_type::eq_int_type(a_->sputc(ch), traits_type::eof())) ok = false;
    if (b_ && traits_type::eq_int_type(b_->sputc(ch), traits_type::eof())) ok = false;
    return ok ? c : traits_type::eof();
}

std::streamsize LogMirror::TeeBuf::xsputn(const char* s, std::streamsize n) {
    const std::streamsize na = a_ ? a_->sputn(s, n) : n;
    const std::streamsize nb = b_ ? b_->sputn(s, n) : n;
    return na < nb ? na : nb;
}

int LogMirror::TeeBuf::sync() {
    const int ra = a_ ? a_->pubsync() : 0;
    const int rb = b_ ? b_->pubsync() : 0;
    return ra == 0 && rb == 0 ? 0 : -1;
}

LogMirror::LogMirror(std::ostream& to)
    : log_(LogFile()), old_(log_.rdbuf()), tee_(old_, to.rdbuf()) {
    log_.flush();
    log_.rdbuf(&tee_);
}

LogMirror::~LogMirror() {
    log_.flush();
    log_.rdbuf(old_);
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
