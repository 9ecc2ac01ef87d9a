// Diagnostics, the run log, small text helpers and the one-character look-ahead console reader.
// The lowest layer: it depends on the standard library only.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quintor {

// ---- Errors ----------------------------------------------------------------------------------
// A failed internal check: the text is exactly "proc: cond FAILED". Windows show it and shut down.
class CheckFailure : public std::logic_error {
public:
    CheckFailure(std::string_view proc, std::string_view cond);
};

// The recoverable errors: a value outside its declared range, an arithmetic overflow, a failed
// file or console operation. Windows show them in an error box and abandon the event.
class QuintorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class RangeError : public QuintorError {
public:
    using QuintorError::QuintorError;
};
class OverflowError : public QuintorError {
public:
    using QuintorError::QuintorError;
};
class IOError : public QuintorError {
public:
    using QuintorError::QuintorError;
};
// The console input ended; dialogues catch it and end cleanly.
class EndOfInput : public IOError {
public:
    EndOfInput() : IOError("end of input") {}
};

[[noreturn]] void Fail(std::string_view proc, std::string_view cond);
inline void Check(bool ok, std::string_view proc, std::string_view cond) {
    if (!ok) Fail(proc, cond);
}

// Throws RangeError "what = v is outside lo..hi" unless lo <= v <= hi; returns v.
long long CheckRange(long long v, long long lo, long long hi, std::string_view what);

// ---- Formatting --------------------------------------------------------------------------------
// printf-style formatting into a string, checked by the compiler.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string IntToStrW(long long n, int width);   // right-aligned in at least width characters
std::string RepeatStr(std::string_view s, int n);
char UpCase(char c);
int DigitValue(char c);
char DigitChar(int n);
std::string FixedStr(double v, int decimals);    // fixed notation, no padding ("%.*f")
std::string GeneralStr(double v);                // up to 15 significant digits ("%.15g")
std::string TrimStr(std::string_view s);         // removes leading and trailing characters < 33

// ---- Run log -----------------------------------------------------------------------------------
// The run log of this run. Before InitGeneralStuff and after DoneGeneralStuff it is a sink that
// discards everything, so library code may always write to it.
std::ostream& LogFile();
void FlushLog();
std::string LogFilePath();   // empty when no log file could be created

// Writes: text, " on ", the local date and time (short date, a blank, long time), a line end.
void WriteStamped(std::ostream& out, std::string_view text);
std::string DateTimeStamp();

// ---- Program paths -----------------------------------------------------------------------------
std::string ExecutablePath();              // full path of the running program
std::string DirectoryOf(std::string_view path);   // without trailing separator
std::string FileNameOf(std::string_view path);
// The run log's path for a program: the file name's extension (from its last dot on) replaced by
// ".log", or ".log" appended when it has none; same directory.
std::string LogPathFor(std::string_view exePath);
bool FileExists(const std::string& path);        // a regular file (or link to one)
bool DirectoryExists(const std::string& path);
bool DirectoryWritable(const std::string& dir);
// Whether a program in dir keeps its files (run log, settings, tables) beside it: only when dir
// is writable and is not the bin folder of an installation, recognised by the console program's
// manual page in ../share/man/man6, which root could write to but should not.
bool KeepsFilesBeside(const std::string& dir);
inline constexpr const char* InstalledMarker = "/../share/man/man6/quintor.6.gz";
// $XDG_STATE_HOME or ~/.local/state (kind "state"), $XDG_CONFIG_HOME or ~/.config ("config"),
// each with the subfolder QuintorTrainer, created on demand.
std::string UserFolder(std::string_view kind);
// Where a file the user keeps lives: beside the program (exeDir) when that folder is writable,
// else in the user folder of the kind. An empty exeDir means the user folder. IOError when the
// user folder cannot be created.
std::string UserFilePath(const std::string& exeDir, std::string_view name, std::string_view kind);

// Writes a file so that it is either completely replaced or left as it was: the bytes go to a
// temporary file in the same directory, which is flushed and renamed over the target.
// Throws IOError naming the file and the reason.
void WriteFileAtomically(const std::string& path, const void* data, std::size_t size);
void WriteTextFileAtomically(const std::string& path, const std::string& text);

// ---- Console reader ----------------------------------------------------------------------------
// The console dialogues read from ConsoleIn() and write prompts to ConsoleOut(); both default to
// the standard streams and can be replaced (tests feed text through a std::istringstream).
std::istream& ConsoleIn();
std::ostream& ConsoleOut();
void SetConsole(std::istream* in, std::ostream* out);   // nullptr keeps the current stream

// True when no character is left (look-ahead empty and the stream at its end).
bool AtInputEnd();
// The look-ahead character, reading one if the buffer is empty; EndOfInput at the end.
char PeekChar();
// Consumes the look-ahead character.
void ConsumeChar();
// Takes characters until one is none of blank (or tab), ',' and '_'; returns it consumed.
// EndOfInput at the end of the input.
void ReadNonBlank(char& c);
// Skips blanks, ',' and '_' (and tabs); true at the end of the input or before ':' or ';', and
// before a line end ('\n' or '\r'), which ends a typed list but is left for SkipRestOfLine.
bool AtListEnd();
// Consumes a ':' or ';' if it is next (never a line end).
void SkipListEnd();
// Discards the rest of the current input line, its line end included (nothing at the end).
// Right after a consumed line end, or before anything was read, nothing of the current line has
// been read and nothing is discarded: a reader that stopped on the line end has finished it.
void SkipRestOfLine();
// Empties the look-ahead buffer (used when the input stream is replaced).
void ClearLookAhead();

// ---- Start-up ----------------------------------------------------------------------------------
// Opens the run log named after the program (extension replaced by ".log") beside it, or in the
// user's state folder when it cannot be created or written there (without any log when neither
// works), and writes "Run Started".
// exePath empty means the running program's own path.
void InitGeneralStuff(const std::string& exePath = "");
// Writes "Run Stopped" and closes the log. Safe to call twice.
void DoneGeneralStuff();

}  // namespace quintor
