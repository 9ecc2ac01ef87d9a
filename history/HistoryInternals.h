// The open connection of a HistoryDatabase and every statement it runs, prepared once when the
// file is opened. Shared by the storing and the statistics modules of this layer only.
#pragma once

#include "history/QuintorHistory.h"
#include "history/SqliteDatabase.h"

namespace quintor {

struct HistoryDatabase::Impl {
    SqliteDb db;   // first: the statements below refer to it and go before it
    SqliteStmt begin{db, "BEGIN IMMEDIATE"};
    SqliteStmt commit{db, "COMMIT"};
    SqliteStmt rollback{db, "ROLLBACK"};

    SqliteStmt insertGame{db,
        "INSERT INTO games(started, ended, dice, finished, score, start_value, luck, loss,"
        " end_value, choices, identical, class0, class1, class2, class3, percentile, version)"
        " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17)"};
    SqliteStmt insertChoice{db,
        "INSERT INTO choices(game, seq, turn, rolls_left, kind, position, choice,"
        " choice_category, choice_arg, best, best_category, best_arg, value, best_value, loss,"
        " luck, options, identical, tutor_questioned, tutor_changed_mind, tutor_withdrawn,"
        " tutor_withdrawn_category, tutor_withdrawn_arg)"
        " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18,"
        " ?19, ?20, ?21, ?22, ?23)"};

    SqliteStmt addToTotals{db,
        "INSERT INTO choice_totals(dice, kind, turn, category, best_category, kept, best_kept,"
        " identical, costly, choices, loss) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, 1, ?10)"
        " ON CONFLICT DO UPDATE SET choices = choices + 1, loss = loss + excluded.loss"};

    // The columns of a game row, in the order ReadGameRow expects them.
#define QUINTOR_GAME_COLUMNS                                                                   \
    "id, started, ended, dice, finished, score, start_value, luck, loss, end_value, choices," \
    " identical, class0, class1, class2, class3, percentile, version"
    SqliteStmt selectGame{db, "SELECT " QUINTOR_GAME_COLUMNS " FROM games WHERE id = ?1"};
    SqliteStmt selectChoices{db,
        "SELECT turn, position, choice_category, choice_arg, best_category, best_arg, value,"
        " best_value, loss, luck, options, tutor_questioned, tutor_changed_mind,"
        " tutor_withdrawn_category, tutor_withdrawn_arg FROM choices WHERE game = ?1 ORDER BY seq"};

    // Statistics. An empty dice source (?1) selects every source.
    SqliteStmt summary{db,
        "SELECT count(*), total(finished), avg(CASE WHEN finished THEN score END),"
        " max(CASE WHEN finished THEN score END), avg(CASE WHEN finished THEN loss END),"
        " avg(CASE WHEN finished THEN luck END), total(choices), total(identical), total(class0),"
        " total(class1), total(class2), total(class3), total(loss)"
        " FROM games WHERE ?1 = '' OR dice = ?1"};
    SqliteStmt series{db,
        "SELECT id, ended, score, loss FROM games WHERE finished AND (?1 = '' OR dice = ?1)"
        " ORDER BY id"};
    SqliteStmt totals{db,
        "SELECT kind, turn, category, best_category, kept, best_kept, identical, costly, choices, loss"
        " FROM choice_totals WHERE ?1 = '' OR dice = ?1"};
    SqliteStmt lastGames{db,
        "SELECT " QUINTOR_GAME_COLUMNS " FROM games WHERE ?1 = '' OR dice = ?1"
        " ORDER BY id DESC LIMIT ?2"};
    SqliteStmt diceSources{db, "SELECT DISTINCT dice FROM games ORDER BY dice"};
#undef QUINTOR_GAME_COLUMNS

    SqliteStmt addDrillPosition{db,
        "INSERT INTO drill_positions(position, loss, first_ended) VALUES(?1, ?2, ?3)"
        " ON CONFLICT DO UPDATE SET loss = max(loss, excluded.loss),"
        " first_ended = min(first_ended, excluded.first_ended)"};
    SqliteStmt drillPositions{db, "SELECT position, loss, first_ended FROM drill_positions"};
    SqliteStmt drillPosition{db, "SELECT loss, first_ended FROM drill_positions WHERE position = ?1"};
    // Positions, and of them those whose first game ended by ?1.
    SqliteStmt drillPositionCounts{db, "SELECT count(*), total(first_ended <= ?1) FROM drill_positions"};
    SqliteStmt insertDrill{db,
        "INSERT INTO drill_answers(answered, position, answer, best, loss)"
        " VALUES(?1, ?2, ?3, ?4, ?5)"};
    SqliteStmt selectDrill{db,
        "SELECT id, answered, position, answer, best, loss FROM drill_answers"
        " WHERE ?1 = '' OR position = ?1 ORDER BY answered, id"};

    explicit Impl(SqliteDb&& opened) : db(std::move(opened)) {}
    ~Impl() = default;
};

// The game columns of the current row of selectGame or lastGames.
HistoryGame ReadGameRow(const SqliteStmt& s);

}  // namespace quintor
