// The coach at the table, through the real windows: the tutor's question and both answers, a
// whole game played with keys only, and the dice painted as faces.
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QTest>

#include "AppTestSupport.h"
#include "app/advisor.h"
#include "app/dieface.h"
#include "app/keyboard.h"
#include "play/QuintorTutor.h"

using namespace quintor;

namespace {

QCheckBox* Box(const QWidget* set, int die) {   // die 0..4
    return Find<QCheckBox>(set, "CheckDice" + std::to_string(die + 1));
}
std::string Ticks(const QWidget* set) {
    std::string s;
    for (int i = 0; i < NDice; ++i) s += Box(set, i)->isChecked() ? '1' : '0';
    return s;
}
// Ticks the boxes of the dice that make up the kept bag (leftmost first).
void TickBag(const QWidget* set, ValueBagRank kept) {
    ValueBag rest = ValueBagTbl[kept].bag;
    const std::vector<int> d = ShownDice(set);
    for (int i = 0; i < NDice; ++i) {
        const bool k = rest.cnt[std::size_t(d[std::size_t(i)] - 1)] > 0;
        if (k) AddToBag(rest, d[std::size_t(i)], -1);
        Box(set, i)->setChecked(k);
    }
}

// The options of a first turn's position, best first.
EList Options(const std::vector<int>& dice, int rollsLeft) {
    EList list;
    const TurnState ts{std::uint8_t(rollsLeft), ToChoose, BagOf(dice)};
    ListChoiceOptions(list, OptimalStrategy, InitialGameState, 0, ts);
    SortEList(list);
    return list;
}
// The first option of the aspect whose loss lies in [lo, hi), or none.
const EListEntry* WithLoss(const EList& list, EventAspect aspect, double lo, double hi) {
    for (int i = 1; i < list.len; ++i) {
        const EListEntry& o = list.entry[std::size_t(i)];
        const double loss = list.entry[0].expected - o.expected;
        if (o.event.aspect == aspect && loss >= lo && loss < hi) return &o;
    }
    return nullptr;
}
std::string Question(const EList& list, const EListEntry& mine) {
    std::string text = ChoiceText(mine.event);
    text[0] = char(std::toupper(text[0]));
    return text + Format(" loses %.2f points against ", list.entry[0].expected - mine.expected) +
           ChoiceText(list.entry[0].event) +
           Format(" (%.2f). Play it anyway?", list.entry[0].expected);
}

}  // namespace

// The first turn of a game against the demon, whose dice depend only on the position: a keep
// below the threshold passes, at the threshold it is questioned (Cancel, then OK), a scoring is
// questioned and withdrawn for a better one; the settings remember the tutor.
TEST(Coach, TutorQuestionsChoicesAtTheThresholdAndBothAnswersWork) {
    Trainer t;
    TMainForm& m = *t.main;
    TDiceSetForm* set = m.DiceSet();
    TScoreCardForm* card = m.ScoreCard();
    EXPECT_FALSE(m.Tutor1->isChecked());
    EXPECT_TRUE(m.TutorWarn2->isChecked());
    m.Demonic1->trigger();
    m.Tutor1->trigger();
    m.TutorWarn3->trigger();   // 5.0
    EXPECT_NE(t.folder.SettingsText().find("[Tutor]\nOn=true\nWarnAt=5.0\n"), std::string::npos)
        << t.folder.SettingsText();
    EXPECT_NE(t.folder.SettingsText().find("Version=1.2.1 beta"), std::string::npos);
    auto* roll = Find<QPushButton>(set, "ButRoll");

    // The first roll is no choice; a keep that loses less than 5.0 is played without a word.
    roll->click();
    EList list = Options(ShownDice(set), 2);
    const EListEntry* small = WithLoss(list, Keeping, 1.0, 5.0);
    ASSERT_NE(small, nullptr);
    TickBag(set, small->event.arg);
    roll->click();
    ASSERT_EQ(m.Recording().len, 1);
    EXPECT_EQ(m.Recording().entry[0].event.arg, small->event.arg);
    EXPECT_FALSE(m.Recording().entry[0].tutor.questioned || m.Recording().entry[0].tutor.changedMind);
    EXPECT_TRUE(t.dialogs.Texts(ScriptedDialogs::AskKind).empty());

    // At 1.0 a keep that loses 1.0 or more is questioned. Cancel: dice, ticks, roll count,
    // buttons and recording as they were.
    m.TutorWarn2->trigger();
    list = Options(ShownDice(set), 1);
    const EListEntry* keep = WithLoss(list, Keeping, 1.0, 1000.0);
    ASSERT_NE(keep, nullptr);
    TickBag(set, keep->event.arg);
    const std::vector<int> dice = ShownDice(set);
    const std::string ticks = Ticks(set), state = m.CurrentAbstractState();
    t.dialogs.ExpectAsk(false);
    roll->click();
    EXPECT_EQ(t.dialogs.Last(), Question(list, *keep));
    EXPECT_EQ(ShownDice(set), dice);
    EXPECT_EQ(Ticks(set), ticks);
    EXPECT_EQ(Field(set, "EditRollIndex"), "2");
    EXPECT_EQ(m.CurrentAbstractState(), state);
    EXPECT_EQ(m.Recording().len, 1);
    EXPECT_TRUE(roll->isEnabled() && Box(set, 0)->isEnabled());
    for (int c = 0; c < NCategories; ++c) EXPECT_TRUE(Find<QWidget>(card, ScoreButtons[c])->isEnabled());

    // OK plays it; the recording notes the question and the change of mind before it.
    t.dialogs.ExpectAsk(true);
    roll->click();
    ASSERT_EQ(m.Recording().len, 2);
    const GameRecordingEntry& kept = m.Recording().entry[1];
    EXPECT_EQ(kept.event.arg, keep->event.arg);
    EXPECT_TRUE(kept.tutor.questioned && kept.tutor.changedMind);
    EXPECT_EQ(kept.tutor.withdrawn.arg, keep->event.arg);
    EXPECT_EQ(Field(set, "EditRollIndex"), "3");

    // The worst scoring is questioned and withdrawn: the card is untouched. The best one is
    // played without a question; its entry keeps the change of mind.
    list = Options(ShownDice(set), 0);
    const EListEntry& worst = list.entry[std::size_t(list.len - 1)];
    ASSERT_GE(list.entry[0].expected - worst.expected, 1.0);
    t.dialogs.ExpectAsk(false);
    Find<QPushButton>(card, ScoreButtons[worst.event.category])->click();
    EXPECT_EQ(t.dialogs.Last(), Question(list, worst));
    EXPECT_EQ(Field(card, ScoreRows[worst.event.category]), "");
    EXPECT_EQ(Field(card, "EditGrandTotal"), "   0");
    EXPECT_EQ(m.Recording().len, 2);
    EXPECT_TRUE(Find<QWidget>(card, ScoreButtons[worst.event.category])->isEnabled());
    const Category best = list.entry[0].event.category;
    Find<QPushButton>(card, ScoreButtons[best])->click();
    ASSERT_EQ(m.Recording().len, 3);
    EXPECT_EQ(m.Recording().entry[2].event.category, best);
    EXPECT_FALSE(m.Recording().entry[2].tutor.questioned);
    EXPECT_TRUE(m.Recording().entry[2].tutor.changedMind);
    EXPECT_EQ(m.Recording().entry[2].tutor.withdrawn.category, worst.event.category);
    EXPECT_EQ(Field(card, "EditTurnIndex"), "2");
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::AskKind).size(), 3u);

    // With the tutor off nothing is asked, however much a choice loses.
    m.Tutor1->trigger();
    roll->click();
    Box(set, 0)->setChecked(true);
    roll->click();
    roll->click();
    const int before = m.Recording().len;
    for (int c = 0; c < NCategories; ++c) Find<QPushButton>(card, ScoreButtons[c])->click();
    EXPECT_EQ(m.Recording().len, before + 1);
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::AskKind).size(), 3u);

    // The next start reads the choices back: tutor off, warn at 1.0; then on at 0.01.
    m.Tutor1->trigger();
    m.TutorWarn1->trigger();
    t.dialogs.ExpectAsk(true);   // abort the game to start afresh
    m.NewGameButton->click();
    t.main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    t.dialogs.ExpectInform();   // the missing variance table
    t.main = std::make_unique<TMainForm>();
    EXPECT_TRUE(t.main->Tutor1->isChecked());
    EXPECT_TRUE(t.main->TutorWarn1->isChecked());
    EXPECT_NE(t.folder.SettingsText().find("WarnAt=0.01"), std::string::npos);
}

// A whole game with key events only, sent to each of the game windows in turn; keys do nothing
// where the mouse could do nothing, and an advisor's state text still takes typed keys.
TEST(Coach, AWholeGameFromTheKeyboard) {
    Trainer t;
    TMainForm& m = *t.main;
    TDiceSetForm* set = m.DiceSet();
    TScoreCardForm* card = m.ScoreCard();
    TGameRecForm* rec = m.CurrentRecordingWindow();
    const std::vector<QWidget*> windows = {&m, set, card, rec};
    auto key = [](QWidget* w, char c) {
        QTest::keyClick(w, Qt::Key(c >= 'A' ? Qt::Key_A + (c - 'A') : Qt::Key_0 + (c - '0')));
    };

    // Before the first roll the keep and score keys find nothing enabled.
    key(card, '1');
    key(set, 'C');
    EXPECT_EQ(Ticks(set), "00000");
    EXPECT_EQ(m.Recording().len, 0);
    EXPECT_EQ(Field(card, "EditChance"), "");
    // Keys with Ctrl or Alt are not play keys.
    QTest::keyClick(set, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(Field(set, "EditRollIndex"), "");

    std::vector<Category> order;
    for (int c = NCategories - 1; c >= 0; --c) order.push_back(Category(c));
    int total = 0;
    for (int turn = 0; turn < NTurnsPerGame; ++turn) {
        QWidget* w = windows[std::size_t(turn) % windows.size()];
        SCOPED_TRACE(turn);
        key(w, 'R');
        EXPECT_EQ(Field(set, "EditRollIndex"), "1");
        // Dice 1 and 3 kept, die 3 released again: one keep of die 1, then keep all five.
        key(w, '1');
        key(w, '3');
        EXPECT_EQ(Ticks(set), "10100");
        key(w, '3');
        const int first = ShownDice(set)[0];
        key(w, 'R');
        EXPECT_EQ(ShownDice(set)[0], first);
        const GameRecordingEntry& k = m.Recording().entry[std::size_t(m.Recording().len - 1)];
        EXPECT_EQ(k.event.aspect, Keeping);
        EXPECT_EQ(k.event.arg, BagOf({first}));
        for (char d : {'2', '3', '4', '5'}) key(w, d);
        EXPECT_EQ(Ticks(set), "11111");
        const std::vector<int> dice = ShownDice(set);
        key(w, 'R');
        EXPECT_EQ(ShownDice(set), dice);
        EXPECT_EQ(Field(set, "EditRollIndex"), "3");
        key(w, 'R');   // no roll left: nothing
        EXPECT_EQ(Field(set, "EditRollIndex"), "3");

        const Category c = order[std::size_t(turn)];
        if (turn == NTurnsPerGame - 1) t.dialogs.ExpectInform();   // "Game Over!"
        key(w, CategoryKey(c).toLatin1());
        const GameRecordingEntry& s = m.Recording().entry[std::size_t(m.Recording().len - 1)];
        EXPECT_EQ(s.event.aspect, Scoring);
        EXPECT_EQ(s.event.category, c);
        total += s.event.arg;
        EXPECT_EQ(Field(card, ScoreRows[c]), Format("%4d", int(s.event.arg)) );
        // The category is used: its key does nothing more.
        const int len = m.Recording().len;
        key(w, CategoryKey(c).toLatin1());
        EXPECT_EQ(m.Recording().len, len);
    }
    EXPECT_EQ(m.Recording().len, 3 * NTurnsPerGame);
    EXPECT_EQ(Field(card, "EditGrandTotal"), Format("%4d", total));
    EXPECT_EQ(t.dialogs.Last(), "Game Over!");
    EXPECT_EQ(rec->Lines()[1], "Game Details and Analysis");

    // In an advisor the same keys are typing.
    m.NewAdvisorButton->click();
    auto* a = m.findChild<TAdvisorForm*>();
    ASSERT_NE(a, nullptr);
    auto* edit = Find<QLineEdit>(a, "StateEdit");
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, "R1C");
    EXPECT_EQ(edit->text(), "R1C");

    // Help > Keyboard lists every key, as the score card shows each category's key.
    t.dialogs.ExpectInform();
    m.Keyboard1->trigger();
    const std::string help = t.dialogs.Last();
    EXPECT_NE(help.find("1 to 5: tick or clear the keep box of die 1 to 5"), std::string::npos);
    EXPECT_NE(help.find("R: Roll !"), std::string::npos);
    QString keys = QStringLiteral("12345R");
    for (int c = 0; c < NCategories; ++c) {
        const QChar k = CategoryKey(Category(c));
        EXPECT_FALSE(keys.contains(k)) << "key used twice: " << k.toLatin1();
        keys += k;
        const std::string name = ScoreItemName(Category(c));
        EXPECT_NE(help.find(std::string(1, k.toLatin1()) + ": score in " + name), std::string::npos);
        const auto* shown = Find<QLabel>(card, std::string("Key") + (ScoreRows[c] + 4));
        EXPECT_EQ(shown ? shown->text() : QString(), QString(k));
    }
    for (const char* other : {"Ctrl+N", "Ctrl+Q", "F1", "Alt+F", "Alt+G", "Alt+D", "Alt+A",
                              "Alt+T", "Alt+H"})
        EXPECT_NE(help.find(other), std::string::npos) << other;
}

namespace {

// The dark blobs of an image (pips), by 4-connected flood fill.
int DarkBlobs(const QImage& img) {
    const int w = img.width(), h = img.height();
    std::vector<char> seen(std::size_t(w * h), 0);
    auto dark = [&](int x, int y) { return qGray(img.pixel(x, y)) < 80 && qAlpha(img.pixel(x, y)) > 128; };
    int blobs = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (seen[std::size_t(y * w + x)] || !dark(x, y)) continue;
            ++blobs;
            std::vector<std::pair<int, int>> stack{{x, y}};
            seen[std::size_t(y * w + x)] = 1;
            while (!stack.empty()) {
                auto [px, py] = stack.back();
                stack.pop_back();
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int nx = px + dx, ny = py + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    if (seen[std::size_t(ny * w + nx)] || !dark(nx, ny)) continue;
                    seen[std::size_t(ny * w + nx)] = 1;
                    stack.push_back({nx, ny});
                }
            }
        }
    return blobs;
}

QImage Render(TDieFace& face, qreal dpr) {
    QImage img(QSize(30, 30) * dpr, QImage::Format_ARGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    face.render(&img);
    return img;
}

}  // namespace

// Each value shows its pips at any scale; a kept die is framed in blue; the value stays text.
TEST(Coach, DiceFacesShowPipsAndTheKeepMark) {
    TDieFace face;
    face.resize(30, 30);
    for (qreal dpr : {1.0, 2.0, 3.0}) {
        for (int v = 1; v <= 6; ++v) {
            face.setText(QStringLiteral(" %1").arg(v));
            EXPECT_EQ(face.Value(), v);
            EXPECT_EQ(DarkBlobs(Render(face, dpr)), v) << "value " << v << " at " << dpr;
        }
        face.clear();
        EXPECT_EQ(face.Value(), 0);
        EXPECT_EQ(DarkBlobs(Render(face, dpr)), 0);
    }
    // The frame: grey, then blue and wider when kept.
    face.setText(QStringLiteral(" 4"));
    auto blueEdge = [&face](qreal dpr) {
        const QImage img = Render(face, dpr);
        int blue = 0;
        for (int y = 0; y < img.height(); ++y) {
            const QColor c = img.pixelColor(int(2 * dpr), y);
            if (c.blue() > 150 && c.red() < 60) ++blue;
        }
        return blue;
    };
    EXPECT_EQ(blueEdge(1.0), 0);
    face.SetKept(true);
    EXPECT_GT(blueEdge(1.0), 15);
    EXPECT_GT(blueEdge(2.0), 30);
    EXPECT_EQ(DarkBlobs(Render(face, 2.0)), 4);

    // In the dice set the faces follow the keep boxes, and a click on a face works its box.
    Trainer t;
    TDiceSetForm* set = t.main->DiceSet();
    auto* die2 = Find<TDieFace>(set, "EditDice2");
    QTest::mouseClick(die2, Qt::LeftButton);   // before a roll the box is off: nothing
    EXPECT_FALSE(Box(set, 1)->isChecked());
    Find<QPushButton>(set, "ButRoll")->click();
    EXPECT_GE(die2->Value(), 1);
    EXPECT_EQ(die2->text().toStdString(), Format(" %1d", die2->Value()));
    QTest::mouseClick(die2, Qt::LeftButton);
    EXPECT_TRUE(Box(set, 1)->isChecked());
    EXPECT_TRUE(die2->Kept());
    Box(set, 1)->click();
    EXPECT_FALSE(die2->Kept());
    Box(set, 1)->click();
    t.main->ScoreCard()->ScoreKey(Chance);   // the turn ends: the boxes clear, so do the marks
    EXPECT_FALSE(die2->Kept());
    EXPECT_EQ(die2->accessibleName(), "Die 2");
}

// The tutor's keys go into a section of their own beside the version and the table location
// (reading them back is the tutor test's restart); values the program did not write read as the
// defaults.
TEST(Coach, TutorSettingsKeepTheOtherSectionsAndReadOddValuesAsDefaults) {
    ProgramFolder f;
    WriteIniVersion("1.2.1 beta");
    WriteTablesLocation("/some/tables");
    WriteTutorOn(true);
    WriteTutorThreshold(0.01);
    EXPECT_EQ(f.SettingsText(), "[General]\nVersion=1.2.1 beta\n\n[Tables]\nLocation=/some/tables\n\n"
                                "[Tutor]\nOn=true\nWarnAt=0.01\n");
    WriteTutorOn(false);   // the restart in the tutor test reads the tutor back on only
    EXPECT_FALSE(ReadTutorOn());
    for (const char* odd : {"7", "", "1", "0.010", "abc"}) {
        std::ofstream(f.Bin() + "/" + SettingsFileName)
            << "[Tutor]\nOn=" << odd << "\nWarnAt=" << odd << "\n";
        EXPECT_FALSE(ReadTutorOn()) << odd;
        EXPECT_EQ(ReadTutorThreshold(), 1.0) << odd;
    }
}
