#include "history/QuintorHistory.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/DiceStuff.h"
#include "history/HistoryInternals.h"
#include "play/QuintorGameRecordings.h"
#include "play/QuintorStateAnalyzer.h"

namespace quintor {

namespace {

// Version 1: the games and their choices. A game's choices are stored together (clustered by
// game), so reading a game or joining choices to a filtered set of games reads ranges.
const char* const SchemaV1 =
    "CREATE TABLE games("
    " id INTEGER PRIMARY KEY,"
    " started INTEGER NOT NULL,"          // seconds since 1970-01-01 UTC
    " ended INTEGER NOT NULL,"
    " dice TEXT NOT NULL,"                // the console word of the dice source
    " finished INTEGER NOT NULL,"         // 0 for an aborted game
    " score INTEGER NOT NULL,"
    " start_value REAL NOT NULL,"         // V at the start
    " luck REAL NOT NULL,"                // sum of luck
    " loss REAL NOT NULL,"                // sum of loss
    " end_value REAL NOT NULL,"           // the final score, or V of the last position
    " choices INTEGER NOT NULL,"          // choices with more than one option
    " identical INTEGER NOT NULL,"        // of those, the best option
    " class0 INTEGER NOT NULL,"           // the others by loss class: \"<>\"
    " class1 INTEGER NOT NULL,"           // \"*\"
    " class2 INTEGER NOT NULL,"           // \"**\"
    " class3 INTEGER NOT NULL,"           // \"***\"
    " percentile REAL,"                   // NULL for an aborted game
    " version TEXT NOT NULL);"
    "CREATE INDEX games_by_dice ON games(dice, id);"
    "CREATE TABLE choices("
    " game INTEGER NOT NULL REFERENCES games(id) ON DELETE CASCADE,"
    " seq INTEGER NOT NULL,"              // 0.. in the order made
    " turn INTEGER NOT NULL,"
    " rolls_left INTEGER NOT NULL,"
    " kind INTEGER NOT NULL,"             // 0 keep after the first roll, 1 after the second, 2 score
    " position TEXT NOT NULL,"            // abstract state text
    " choice TEXT NOT NULL,"              // as the report writes it
    " choice_category INTEGER,"           // NULL for a keeping
    " choice_arg INTEGER NOT NULL,"       // kept bag rank, or points gained
    " best TEXT NOT NULL,"
    " best_category INTEGER,"
    " best_arg INTEGER NOT NULL,"
    " value REAL NOT NULL,"
    " best_value REAL NOT NULL,"
    " loss REAL NOT NULL,"
    " luck REAL NOT NULL,"                // of the roll before the choice
    " options INTEGER NOT NULL,"
    " identical INTEGER NOT NULL,"
    " PRIMARY KEY(game, seq)) WITHOUT ROWID;"
    // The choices with more than one option summed up by everything the statistics split them by,
    // kept up to date in each game's transaction: the statistics read a few hundred rows instead
    // of every choice ever made. Categories are -1 for a keeping; kept counts the kept dice.
    "CREATE TABLE choice_totals("
    " dice TEXT NOT NULL,"
    " kind INTEGER NOT NULL,"
    " turn INTEGER NOT NULL,"
    " category INTEGER NOT NULL,"         // of a scoring that was not the best option
    " best_category INTEGER NOT NULL,"
    " kept INTEGER NOT NULL,"             // of a keeping that was not the best, against a keeping
    " best_kept INTEGER NOT NULL,"
    " identical INTEGER NOT NULL,"        // the best option (then the four before are -1, -1, 0, 0)
    " costly INTEGER NOT NULL,"           // lost 0.01 or more
    " choices INTEGER NOT NULL,"
    " loss REAL NOT NULL,"
    " PRIMARY KEY(dice, kind, turn, category, best_category, kept, best_kept, identical, costly))"
    " WITHOUT ROWID;";

// Version 2: the answers given in drills.
const char* const SchemaV2 =
    "CREATE TABLE drill_answers("
    " id INTEGER PRIMARY KEY,"
    " answered INTEGER NOT NULL,"
    " position TEXT NOT NULL,"
    " answer TEXT NOT NULL,"
    " best TEXT NOT NULL,"
    " loss REAL NOT NULL);"
    "CREATE INDEX drill_answers_by_position ON drill_answers(position, answered);";

// Version 3: what the tutor said about each choice. Older rows read as choices the tutor never
// questioned. A withdrawn choice is kept like the other events (NULL argument: none).
const char* const SchemaV3 =
    "ALTER TABLE choices ADD COLUMN tutor_questioned INTEGER NOT NULL DEFAULT 0;"   // played anyway
    "ALTER TABLE choices ADD COLUMN tutor_changed_mind INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE choices ADD COLUMN tutor_withdrawn TEXT;"   // as the report writes it
    "ALTER TABLE choices ADD COLUMN tutor_withdrawn_category INTEGER;"
    "ALTER TABLE choices ADD COLUMN tutor_withdrawn_arg INTEGER;"
    // The positions of the choices that lost DrillMistakeLoss (1.0) or more, kept up to date in
    // each game's transaction: the drills and their record read these instead of every choice.
    "CREATE TABLE drill_positions("
    " position TEXT PRIMARY KEY,"         // abstract state text after a roll
    " loss REAL NOT NULL,"                // the largest loss of a choice there
    " first_ended INTEGER NOT NULL)"      // when the first game with it ended
    " WITHOUT ROWID;"
    "INSERT INTO drill_positions SELECT c.position, max(c.loss), min(g.ended)"
    " FROM choices c JOIN games g ON g.id = c.game WHERE c.loss >= 1.0 GROUP BY c.position;"
    "CREATE INDEX drill_positions_by_first ON drill_positions(first_ended);";

// Index: the version a step starts from. A new version appends its step here and raises
// HistorySchemaVersion; files of every older version are brought up step by step.
const char* const SchemaSteps[] = {SchemaV1, SchemaV2, SchemaV3};
static_assert(std::size(SchemaSteps) == HistorySchemaVersion);

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The kinds of fault, each shown once per run.
enum FaultKind { fkInvalid, fkLocked, fkReadOnly, fkFull, fkDamaged, fkNewer, fkOther };

class NewerSchema : public IOError {
public:
    using IOError::IOError;
};

// What a fault of the kind means for the file, after "The history <name> ".
const char* FaultText(int kind) {
    switch (kind) {
    case fkLocked:
        return "is in use by another program";
    case fkReadOnly:
        return "cannot be written (its file or folder is read-only)";
    case fkFull:
        return "cannot grow: the disk is full";
    default:
        return "failed";
    }
}

int FaultKindOf(const SqliteError& e) {
    switch (e.code()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return fkLocked;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return fkReadOnly;
    case SQLITE_FULL:
        return fkFull;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return fkDamaged;
    default:
        break;
    }
    if (e.sys() == ENOSPC || e.sys() == EFBIG || e.sys() == EDQUOT) return fkFull;
    if (e.sys() == EACCES || e.sys() == EPERM || e.sys() == EROFS) return fkReadOnly;
    return fkOther;
}

bool Writable(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

int FaultKindOf(const SqliteError& e, const std::string& path) {
    // A file that cannot be opened, or a journal beside it that cannot be made: a read-only
    // file or folder, when it is one.
    const std::string dir = DirectoryOf(path);
    if (e.code() == SQLITE_CANTOPEN &&
        ((DirectoryExists(dir) && !Writable(dir)) || (PathExists(path) && !Writable(path))))
        return fkReadOnly;
    return FaultKindOf(e);
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string UtcStamp(std::time_t t, const char* fmt) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, fmt, &tm);
    return buf;
}

// Moves a damaged file (and its write-ahead log and index, which belong to it) to a new name
// beside it; returns the new name. IOError when it cannot be moved.
std::string MoveAside(const std::string& path) {
    std::string stem = path;
    const std::string ext = ".sqlite";
    if (stem.size() > ext.size() && stem.compare(stem.size() - ext.size(), ext.size(), ext) == 0)
        stem.resize(stem.size() - ext.size());
    const std::string base = stem + "-damaged-" + UtcStamp(std::time(nullptr), "%Y%m%d-%H%M%S");
    std::string target = base + ext;
    for (int n = 2; PathExists(target) || PathExists(target + "-wal"); ++n)
        target = base + "-" + std::to_string(n) + ext;
    if (std::rename(path.c_str(), target.c_str()) != 0)
        throw IOError("Cannot move the damaged history " + Quoted(path) + " to " + Quoted(target) +
                      ": " + std::strerror(errno));
    for (const char* side : {"-wal", "-shm"})
        if (PathExists(path + side)) std::rename((path + side).c_str(), (target + side).c_str());
    return target;
}

int ReadUserVersion(SqliteDb& db) {
    SqliteStmt s(db, "PRAGMA user_version");
    return s.Step() ? int(s.Int(0)) : 0;
}

// Brings the file to the current schema in one transaction, so a file is at one version or the
// next, never between.
void Migrate(SqliteDb& db) {
    int version = ReadUserVersion(db);
    if (version == HistorySchemaVersion) return;
    if (version < 0 || version > HistorySchemaVersion)
        throw NewerSchema(Format("written by a newer version of the trainer (schema %d)", version));
    SqliteStmt begin(db, "BEGIN IMMEDIATE"), commit(db, "COMMIT"), rollback(db, "ROLLBACK");
    SqliteTransaction t(db, begin, commit, rollback);
    version = ReadUserVersion(db);   // another trainer may have done it meanwhile
    for (; version < HistorySchemaVersion; ++version) db.Exec(SchemaSteps[version]);
    // The version is this program's own constant, not a value from outside.
    db.Exec(Format("PRAGMA user_version = %d", HistorySchemaVersion).c_str());
    t.Commit();
}

std::unique_ptr<HistoryDatabase::Impl> OpenFile(const std::string& path, const HistoryOptions& o) {
    SqliteDb db(path, true);
    db.SetBusyTimeout(o.busyTimeoutMs);
    // A newer program's file is left exactly as it is, its journal mode included.
    if (const int version = ReadUserVersion(db); version < 0 || version > HistorySchemaVersion)
        throw NewerSchema(Format("written by a newer version of the trainer (schema %d)", version));
    // The write-ahead log keeps readers and the writer of two trainers out of each other's way;
    // with it, NORMAL synchronisation loses no committed game when the program is killed (only
    // a power cut can take back the last games, and the file stays whole even then).
    db.Exec("PRAGMA journal_mode = WAL");
    db.Exec("PRAGMA synchronous = NORMAL");
    db.Exec("PRAGMA foreign_keys = ON");
    Migrate(db);
    return std::make_unique<HistoryDatabase::Impl>(std::move(db));
}

void BindEventColumns(SqliteStmt& s, int first, const Event& e) {
    s.Bind(first, EventToString(e, false, false));
    if (e.aspect == Scoring)
        s.Bind(first + 1, int(e.category));
    else
        s.BindNull(first + 1);
    s.Bind(first + 2, int(e.arg));
}

Event EventFromColumns(const SqliteStmt& s, int categoryCol) {
    Event e;
    e.aspect = s.IsNull(categoryCol) ? Keeping : Scoring;
    e.category = Category(CheckCategory(s.IsNull(categoryCol) ? 0 : s.Int(categoryCol)));
    e.arg = std::uint16_t(CheckRange(s.Int(categoryCol + 1), 0, 65535, "event argument"));
    return e;
}

int RollsLeftOf(const std::string& position) {
    AbstractState st;
    ReadAbstractState(position, st);
    return st.turnState.rollsLeft;
}

ChoiceKind KindOf(const Event& e, int rollsLeft) {
    if (e.aspect == Scoring) return ckScoring;
    return rollsLeft >= 2 ? ckKeepFirstRoll : ckKeepSecondRoll;
}

int KeptCount(const Event& e) {
    return ValueBagTbl[e.arg].siz;
}

// Adds one choice to the totals. The kept counts are those of a keeping against a keeping, 0
// otherwise: only there do they name the habit.
void AddToTotals(HistoryDatabase::Impl& h, const std::string& dice, ChoiceKind kind, const HistoryChoice& c,
                 bool identical) {
    const bool scoring = c.choice.aspect == Scoring, bestScoring = c.best.aspect == Scoring;
    SqliteStmt& s = h.addToTotals;
    SqliteStmt::Use use(s);
    s.Bind(1, dice).Bind(2, int(kind)).Bind(3, c.turn);
    s.Bind(4, identical || !scoring ? -1 : int(c.choice.category));
    s.Bind(5, identical || !bestScoring ? -1 : int(c.best.category));
    const bool keepAgainstKeep = !identical && !scoring && !bestScoring;
    s.Bind(6, keepAgainstKeep ? KeptCount(c.choice) : 0);
    s.Bind(7, keepAgainstKeep ? KeptCount(c.best) : 0);
    s.Bind(8, int(identical)).Bind(9, int(!identical && LossClass(c.loss) > 0));
    s.Bind(10, identical ? 0.0 : c.loss);
    s.Run();
}

void WriteGame(HistoryDatabase::Impl& h, const HistoryGame& g) {
    SqliteTransaction t(h.db, h.begin, h.commit, h.rollback);
    {
        SqliteStmt& s = h.insertGame;
        SqliteStmt::Use use(s);
        s.Bind(1, g.started).Bind(2, g.ended).Bind(3, g.diceSource).Bind(4, int(g.finished));
        s.Bind(5, g.finalScore).Bind(6, g.startValue).Bind(7, g.sumLuck).Bind(8, g.sumLoss);
        s.Bind(9, g.endValue).Bind(10, g.counts.choices).Bind(11, g.counts.identical);
        for (int c = 0; c < NLossClasses; ++c) s.Bind(12 + c, g.counts.byClass[std::size_t(c)]);
        if (g.percentile)
            s.Bind(16, *g.percentile);
        else
            s.BindNull(16);
        s.Bind(17, g.version);
        s.Run();
    }
    const std::int64_t id = sqlite3_last_insert_rowid(h.db.Handle());
    for (std::size_t i = 0; i < g.choices.size(); ++i) {
        const HistoryChoice& c = g.choices[i];
        const int rolls = RollsLeftOf(c.position);
        SqliteStmt& s = h.insertChoice;
        SqliteStmt::Use use(s);
        s.Bind(1, id).Bind(2, std::int64_t(i)).Bind(3, c.turn).Bind(4, rolls);
        s.Bind(5, int(KindOf(c.choice, rolls))).Bind(6, c.position);
        BindEventColumns(s, 7, c.choice);
        BindEventColumns(s, 10, c.best);
        s.Bind(13, c.value).Bind(14, c.bestValue).Bind(15, c.loss).Bind(16, c.luck);
        const bool identical = EqualEvents(c.choice, c.best);
        s.Bind(17, c.options).Bind(18, int(identical));
        s.Bind(19, int(c.tutor.questioned)).Bind(20, int(c.tutor.changedMind));
        if (c.tutor.changedMind)
            BindEventColumns(s, 21, c.tutor.withdrawn);
        else
            s.BindNull(21).BindNull(22).BindNull(23);
        s.Run();
        if (c.options > 1) AddToTotals(h, g.diceSource, KindOf(c.choice, rolls), c, identical);
        if (c.loss >= DrillMistakeLoss) {
            SqliteStmt& d = h.addDrillPosition;
            SqliteStmt::Use used(d);
            d.Bind(1, c.position).Bind(2, c.loss).Bind(3, g.ended).Run();
        }
    }
    t.Commit();
}

std::string EventError(const Event& e, const AbstractState& st, const char* what) {
    if (e.aspect == Keeping) {
        if (st.turnState.rollsLeft == 0) return std::string(what) + " keeps dice with no roll left";
        if (e.arg >= NValueBag5Ranks || !IsSubBag(ValueBagTbl[e.arg].bag, ValueBagTbl[st.turnState.dice].bag))
            return std::string(what) + " keeps dice that are not on the table";
        return "";
    }
    if (e.aspect != Scoring) return std::string(what) + " is neither a keeping nor a scoring";
    if (e.category >= NCategories || !InSet(st.gameState.free, e.category))
        return std::string(what) + " scores in a category that is not free";
    if (e.arg > MaxPoints) return std::string(what) + " gains more than 1575 points";
    return "";
}

}  // namespace

// ---- Place, classes and counts -----------------------------------------------------------------

std::string HistoryFilePath(const std::string& exeDir) {
    return UserFilePath(exeDir, HistoryFileName, "data");
}

int LossClass(double loss) {
    return loss < 0.01 ? 0 : loss < 1.0 ? 1 : loss < 5.0 ? 2 : 3;
}

const char* LossClassMarker(int lossClass) {
    static const char* const markers[NLossClasses] = {"<>", "*", "**", "***"};
    return markers[CheckRange(lossClass, 0, NLossClasses - 1, "loss class")];
}

ChoiceCounts CountChoices(const std::vector<HistoryChoice>& choices) {
    ChoiceCounts n;
    for (const HistoryChoice& c : choices) {
        if (c.options <= 1) continue;   // one option is no choice
        ++n.choices;
        if (EqualEvents(c.choice, c.best))
            ++n.identical;
        else
            ++n.byClass[std::size_t(LossClass(c.loss))];
    }
    return n;
}

const char* HistorySchemaStep(int fromVersion) {
    return SchemaSteps[CheckRange(fromVersion, 0, HistorySchemaVersion - 1, "schema version")];
}

std::string HistoryGameError(const HistoryGame& g) {
    auto finite = [](double v) { return std::isfinite(v); };
    if (g.diceSource.empty()) return "the dice source is missing";
    if (g.version.empty()) return "the program version is missing";
    if (g.started < 0 || g.ended < g.started) return "the game ends before it starts";
    if (g.finalScore < 0 || g.finalScore > MaxPoints) return Format("the final score %d is outside 0..1575", g.finalScore);
    if (!finite(g.startValue) || !finite(g.sumLuck) || !finite(g.sumLoss) || !finite(g.endValue))
        return "a value of the luck/skill split is not a number";
    if (g.percentile && !(*g.percentile >= 0.0 && *g.percentile <= 100.0))
        return "the percentile is outside 0..100";
    if (g.choices.size() > std::size_t(MaxGameRecordingIndex))
        return Format("%zu choices are more than a game can have", g.choices.size());
    double loss = 0.0;
    int turn = 1;
    for (std::size_t i = 0; i < g.choices.size(); ++i) {
        const HistoryChoice& c = g.choices[i];
        const std::string at = Format("choice %zu: ", i + 1);
        if (c.turn < turn || c.turn > NTurnsPerGame) return at + Format("turn %d is out of order", c.turn);
        turn = c.turn;
        AbstractState st;
        if (!ReadAbstractState(c.position, st))
            return at + "the position \"" + c.position + "\" is no abstract state: " + st.error;
        if (st.turnState.phase != ToChoose) return at + "the position has no rolled dice";
        for (const auto& [e, what] : {std::pair{c.choice, "the choice"}, std::pair{c.best, "the best option"}})
            if (std::string err = EventError(e, st, what); !err.empty()) return at + err;
        if (c.tutor.changedMind)
            if (std::string err = EventError(c.tutor.withdrawn, st, "the withdrawn choice"); !err.empty())
                return at + err;
        if (!finite(c.value) || !finite(c.bestValue) || !finite(c.loss) || !finite(c.luck))
            return at + "a value is not a number";
        if (c.loss < -1e-9 || std::fabs(c.loss - (c.bestValue - c.value)) > 1e-6)
            return at + "the loss is not the best value minus the value of the choice";
        if (c.options < 1 || c.options > 462) return at + Format("%d options", c.options);
        if (c.options == 1 && !EqualEvents(c.choice, c.best)) return at + "the only option is not the choice";
        loss += c.loss;
    }
    if (std::fabs(loss - g.sumLoss) > 1e-6 * double(g.choices.size() + 1))
        return Format("the sum of loss %.6f is not the sum of the choices' losses %.6f", g.sumLoss, loss);
    return "";
}

// ---- The database ------------------------------------------------------------------------------

HistoryDatabase::HistoryDatabase(std::string path, HistoryOptions options)
    : path_(std::move(path)), options_(options) {}

HistoryDatabase::~HistoryDatabase() = default;

bool HistoryDatabase::IsOpen() const {
    return impl_ != nullptr;
}

void HistoryDatabase::Close() {
    impl_.reset();
}

HistoryResult HistoryDatabase::Report(HistoryResult r, int kind) {
    LogFile() << "History: " << r.message << '\n';
    FlushLog();
    r.show = kind == fkDamaged || !shown_[std::size_t(kind)];
    shown_[std::size_t(kind)] = true;
    return r;
}

HistoryResult HistoryDatabase::Open() {
    if (impl_) return {};
    std::string moved;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            impl_ = OpenFile(path_, options_);
            if (moved.empty()) return {};
            return Report({true, "The history " + Quoted(path_) + " was damaged; it was moved to " +
                                     Quoted(moved) + " and a new history was started."},
                          fkDamaged);
        } catch (const SqliteError& e) {
            impl_.reset();
            const int kind = FaultKindOf(e, path_);
            if (kind != fkDamaged || attempt > 0) {
                const std::string what = kind == fkDamaged || kind == fkOther ? "cannot be opened" : FaultText(kind);
                return Report({false, "The history " + Quoted(path_) + " " + what + " (" + e.what() + ")."}, kind);
            }
            try {
                moved = MoveAside(path_);
            } catch (const IOError& m) {
                return Report({false, m.what()}, fkDamaged);
            }
        } catch (const NewerSchema& e) {
            return Report({false, "The history " + Quoted(path_) + " was " + e.what() +
                                      "; it is left as it is and no game is stored in it."},
                          fkNewer);
        } catch (const std::exception& e) {   // an IOError of the folders, or out of memory
            return Report({false, "The history " + Quoted(path_) + " cannot be opened (" + e.what() + ")."},
                          fkOther);
        }
    }
    return {};
}

HistoryResult HistoryDatabase::Fault(const std::exception& e, const char* doing) {
    const auto* se = dynamic_cast<const SqliteError*>(&e);
    const int kind = se ? FaultKindOf(*se, path_) : fkOther;
    std::string message =
        "The history " + Quoted(path_) + " " + FaultText(kind) + " while " + doing + " (" + e.what() + ").";
    if (kind == fkDamaged) {
        Close();
        try {
            const std::string moved = MoveAside(path_);
            message = "The history " + Quoted(path_) + " was damaged; it was moved to " + Quoted(moved) +
                      " and a new history was started.";
        } catch (const IOError& m) {
            message += std::string(" ") + m.what();
        }
    } else if (kind != fkLocked) {
        // Reopened for the next attempt: a fault that has gone away then no longer holds it back.
        Close();
    }
    return Report({false, message}, kind);
}

HistoryResult HistoryDatabase::StorePending() {
    // A connection that could only read (the file was read-only when it was opened) is opened
    // again, so a file that has become writable takes the games.
    if (impl_ && sqlite3_db_readonly(impl_->db.Handle(), "main") == 1) Close();
    HistoryResult opened = Open();
    HistoryResult r = opened;
    bool retried = false;
    while (opened.ok && !pending_.empty()) {
        try {
            WriteGame(*impl_, pending_.front());
            pending_.erase(pending_.begin());
        } catch (const std::exception& e) {
            const bool damaged = dynamic_cast<const SqliteError*>(&e) &&
                                 FaultKindOf(static_cast<const SqliteError&>(e), path_) == fkDamaged;
            r = Fault(e, "storing a game");
            if (damaged && !retried) {   // into the new file
                retried = true;
                opened = Open();
                if (opened.ok) {
                    r.ok = true;
                    continue;
                }
                r = opened;
            }
            break;
        }
    }
    if (!pending_.empty()) {
        r.ok = false;
        const int n = int(pending_.size());
        r.message += n == 1 ? " The game was not stored; the trainer keeps it and tries again with the next game."
                            : Format(" %d games were not stored; the trainer keeps them and tries again with the next game.", n);
    }
    return r;
}

HistoryResult HistoryDatabase::StoreGame(const HistoryGame& game) {
    if (std::string err = HistoryGameError(game); !err.empty())
        return Report({false, "The game could not be stored in the history: " + err + "."}, fkInvalid);
    try {
        pending_.push_back(game);
        pending_.back().counts = CountChoices(game.choices);
    } catch (const std::bad_alloc&) {
        return Report({false, "The game could not be stored in the history: out of memory."}, fkOther);
    }
    return StorePending();
}

HistoryGame ReadGameRow(const SqliteStmt& s) {
    HistoryGame g;
    g.id = s.Int(0);
    g.started = s.Int(1);
    g.ended = s.Int(2);
    g.diceSource = s.Text(3);
    g.finished = s.Int(4) != 0;
    g.finalScore = int(s.Int(5));
    g.startValue = s.Real(6);
    g.sumLuck = s.Real(7);
    g.sumLoss = s.Real(8);
    g.endValue = s.Real(9);
    g.counts.choices = int(s.Int(10));
    g.counts.identical = int(s.Int(11));
    for (int c = 0; c < NLossClasses; ++c) g.counts.byClass[std::size_t(c)] = int(s.Int(12 + c));
    if (!s.IsNull(16)) g.percentile = s.Real(16);
    g.version = s.Text(17);
    return g;
}

std::optional<HistoryGame> HistoryDatabase::ReadGame(std::int64_t id, HistoryResult* result) {
    HistoryResult r = Open();
    if (result) *result = r;
    if (!r.ok) return std::nullopt;
    try {
        std::optional<HistoryGame> g;
        {
            SqliteStmt::Use use(impl_->selectGame);
            if (!impl_->selectGame.Bind(1, id).Step()) return std::nullopt;
            g = ReadGameRow(impl_->selectGame);
        }
        SqliteStmt& s = impl_->selectChoices;
        SqliteStmt::Use use(s);
        s.Bind(1, id);
        while (s.Step()) {
            HistoryChoice c;
            c.turn = int(s.Int(0));
            c.position = s.Text(1);
            c.choice = EventFromColumns(s, 2);
            c.best = EventFromColumns(s, 4);
            c.value = s.Real(6);
            c.bestValue = s.Real(7);
            c.loss = s.Real(8);
            c.luck = s.Real(9);
            c.options = int(s.Int(10));
            c.tutor.questioned = s.Int(11) != 0;
            c.tutor.changedMind = s.Int(12) != 0 && !s.IsNull(14);
            if (c.tutor.changedMind) c.tutor.withdrawn = EventFromColumns(s, 13);
            g->choices.push_back(std::move(c));
        }
        return g;
    } catch (const std::exception& e) {
        const HistoryResult f = Fault(e, "reading a game");
        if (result) *result = f;
        return std::nullopt;
    }
}

HistoryResult HistoryDatabase::StoreDrillAnswer(const DrillAnswer& a) {
    if (a.position.empty() || a.answer.empty() || !std::isfinite(a.loss) || a.loss < 0.0)
        return Report({false, "The drill answer could not be stored in the history: it is incomplete."}, fkInvalid);
    HistoryResult r = Open();
    if (!r.ok) return r;
    try {
        SqliteStmt& s = impl_->insertDrill;
        SqliteStmt::Use use(s);
        s.Bind(1, a.answered).Bind(2, a.position).Bind(3, a.answer).Bind(4, a.best).Bind(5, a.loss);
        s.Run();
        return r;
    } catch (const std::exception& e) {
        return Fault(e, "storing a drill answer");
    }
}

std::vector<DrillAnswer> HistoryDatabase::DrillAnswers(const std::string& position, HistoryResult* result) {
    std::vector<DrillAnswer> answers;
    HistoryResult r = Open();
    if (result) *result = r;
    if (!r.ok) return answers;
    try {
        SqliteStmt& s = impl_->selectDrill;
        SqliteStmt::Use use(s);
        s.Bind(1, position);
        while (s.Step())
            answers.push_back({s.Int(0), s.Int(1), s.Text(2), s.Text(3), s.Text(4), s.Real(5)});
    } catch (const std::exception& e) {
        const HistoryResult f = Fault(e, "reading drill answers");
        if (result) *result = f;
        answers.clear();
    }
    return answers;
}

}  // namespace quintor
