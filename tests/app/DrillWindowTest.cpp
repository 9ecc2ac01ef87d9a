// The drill window through its widgets and keys, on a history the test fills itself; with
// QUINTOR_SCREENSHOTS set to a folder it also saves a picture of the window there.
#include <QCheckBox>
#include <QMenu>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "AppTestSupport.h"
#include "app/dieface.h"
#include "app/drillwindow.h"
#include "app/keyboard.h"
#include "history/HistoryGames.h"
#include "history/QuintorDrills.h"

using namespace quintor;

namespace {

std::string Text(const QWidget* w, const std::string& label) {
    return Find<QLabel>(w, label)->text().toStdString();
}

}  // namespace

TEST(DrillWindow, ShowsTheDuePositionsTakesKeysAndButtonsListsAndStoresTheAnswers) {
    Trainer t;
    TMainForm& m = *t.main;
    const std::string file = HistoryFilePath(GetExePath());
    std::vector<std::string> due;
    {
        HistoryDatabase db(file);
        for (std::uint32_t seed : {31u, 32u}) ASSERT_TRUE(db.StoreGame(historytest::PlayHistoryGame(seed)).ok);
        for (const DrillItem& item : DueDrills(DrillSchedule(db), std::time(nullptr))) due.push_back(item.position);
    }
    ASSERT_GE(due.size(), 2u);
    EXPECT_TRUE(m.Game1->actions().contains(m.Drills1));

    TDrillForm* w = m.Drills1Click();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_EQ(w->Position(), due[0]);
    EXPECT_EQ(Text(w, "SourceLabel"), "A position you got wrong in a game");
    AbstractState st;
    ASSERT_TRUE(ReadAbstractState(due[0], st));
    EXPECT_EQ(Text(w, "TotalLabel"), "Total: " + std::to_string(st.total));
    EXPECT_EQ(Text(w, "RollsLabel"), "Rolls left: " + std::to_string(st.turnState.rollsLeft));
    for (int c = 0; c < NCategories; ++c) {
        const bool free = InSet(st.gameState.free, c);
        EXPECT_EQ(Text(w, "FreeLabel").find(ScoreItemName(ScoreItem(c))) != std::string::npos, free) << c;
        EXPECT_EQ(Find<QPushButton>(w, "Category" + std::to_string(c))->isEnabled(), free) << c;
    }
    for (int i = 0; i < NDice; ++i)
        EXPECT_EQ(Find<TDieFace>(w, "Die" + std::to_string(i + 1))->Value(), int(st.dice.val[std::size_t(i)])) << i;
    EXPECT_FALSE(Find<QPushButton>(w, "NextButton")->isEnabled());

    if (const char* dir = std::getenv("QUINTOR_SCREENSHOTS")) {
        Find<QCheckBox>(w, "Keep1")->setChecked(st.turnState.rollsLeft > 0);
        w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/drill-position.png"));
        Find<QCheckBox>(w, "Keep1")->setChecked(false);
    }

    // Keys: 1 ticks the first keep box, R keeps and rolls (or, without a roll left, the first
    // free category's key scores).
    Event choice;
    if (st.turnState.rollsLeft > 0) {
        QTest::keyClick(w, Qt::Key_1);
        EXPECT_TRUE(Find<QCheckBox>(w, "Keep1")->isChecked());
        EXPECT_TRUE(Find<TDieFace>(w, "Die1")->Kept());
        QTest::keyClick(w, Qt::Key_R);
        ValueBag b;
        AddToBag(b, st.dice.val[0], 1);
        choice.aspect = Keeping;
        choice.arg = RankFromValueBag(b);
    } else {
        int c = 0;
        while (!InSet(st.gameState.free, c)) ++c;
        QTest::keyClick(w, CategoryKey(Category(c)).toLatin1());
        choice.aspect = Scoring;
        choice.category = Category(c);
    }
    ASSERT_TRUE(w->Answered());
    const DrillOutcome o = AnswerDrill(due[0], choice);
    const std::string listing = Find<QPlainTextEdit>(w, "Listing")->toPlainText().toStdString();
    std::string expected;
    for (const std::string& l : o.listing) expected += (expected.empty() ? "" : "\n") + l;
    EXPECT_EQ(listing, expected);
    EXPECT_NE(listing.find(DrillChoiceMark), std::string::npos);
    EXPECT_EQ(Text(w, "VerdictLabel"), DrillVerdict(o));
    EXPECT_FALSE(Find<QPushButton>(w, "RollButton")->isEnabled());
    for (int c = 0; c < NCategories; ++c) EXPECT_FALSE(Find<QPushButton>(w, "Category" + std::to_string(c))->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(w, "NextButton")->isEnabled());
    if (const char* dir = std::getenv("QUINTOR_SCREENSHOTS"))
        w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/drill-answer.png"));
    {
        HistoryDatabase db(file);
        const std::vector<DrillAnswer> stored = db.DrillAnswers(due[0]);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_DOUBLE_EQ(stored[0].loss, o.assessment.loss);
    }
    // Keys of the answered position do nothing more; Return goes on to the next due position.
    QTest::keyClick(w, Qt::Key_R);
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_EQ(w->Position(), due[1]);
    EXPECT_FALSE(w->Answered());
    ASSERT_TRUE(ReadAbstractState(due[1], st));
    int c = 0;
    while (!InSet(st.gameState.free, c)) ++c;
    Find<QPushButton>(w, "Category" + std::to_string(c))->click();
    EXPECT_TRUE(w->Answered());
    HistoryDatabase db(file);
    EXPECT_EQ(db.DrillAnswers("").size(), 2u);

    // On to a position with a roll left (the due ones, then those of optimal games): 1 ticks the
    // first keep box and marks its die, 1 again clears it, and R keeps the ticked dice and rolls.
    for (int i = 0; i < 40; ++i) {
        w->NextClick();
        ASSERT_TRUE(ReadAbstractState(w->Position(), st)) << w->Position();
        if (st.turnState.rollsLeft > 0) break;
        c = 0;
        while (!InSet(st.gameState.free, c)) ++c;
        Find<QPushButton>(w, "Category" + std::to_string(c))->click();
    }
    ASSERT_GT(st.turnState.rollsLeft, 0);
    QTest::keyClick(w, Qt::Key_1);
    QTest::keyClick(w, Qt::Key_2);
    QTest::keyClick(w, Qt::Key_2);
    EXPECT_TRUE(Find<QCheckBox>(w, "Keep1")->isChecked() && Find<TDieFace>(w, "Die1")->Kept());
    EXPECT_FALSE(Find<QCheckBox>(w, "Keep2")->isChecked() || Find<TDieFace>(w, "Die2")->Kept());
    const std::string keepPosition = w->Position();
    const std::size_t before = db.DrillAnswers("").size();
    QTest::keyClick(w, Qt::Key_R);
    ASSERT_TRUE(w->Answered());
    ValueBag kept;
    AddToBag(kept, st.dice.val[0], 1);
    Event keep;
    keep.aspect = Keeping;
    keep.arg = RankFromValueBag(kept);
    EXPECT_EQ(w->Outcome().assessment.mine.event.aspect, Keeping);
    EXPECT_EQ(w->Outcome().assessment.mine.event.arg, keep.arg);
    EXPECT_EQ(Text(w, "VerdictLabel"), DrillVerdict(AnswerDrill(keepPosition, keep)));
    const std::vector<DrillAnswer> all = db.DrillAnswers(keepPosition);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().answer, EventToString(keep, false, false));
    EXPECT_EQ(db.DrillAnswers("").size(), before + 1);
    w->close();
}
