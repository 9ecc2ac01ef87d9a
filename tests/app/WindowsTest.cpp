// The windows as desktop windows: where they open, how they resize, the keyboard, and the size
// of the message boxes.
#include <map>

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QStyle>
#include <QTest>

#include "AppTestSupport.h"
#include "app/advisor.h"

using namespace quintor;

namespace {

// Lets the layouts of w follow a resize, as the event loop would.
void Settle(QWidget* w) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    if (w->layout()) w->layout()->activate();
}

QMessageBox* ShownBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

}  // namespace

// On a screen as large as designed for, every window opens at its designed place; the advisor
// and recording windows start at their designed size, cannot get smaller, and when made larger
// their text grows with them. The recording window shows a whole report line without scrolling.
TEST(WindowPlaces, DesignedPlacesSizesAndResizing) {
    Trainer t;
    TMainForm& m = *t.main;
    EXPECT_EQ(m.frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(m.DiceSet()->frameGeometry().topLeft(), QPoint(0, 105));
    EXPECT_EQ(m.ScoreCard()->frameGeometry().topLeft(), QPoint(0, 208));
    TGameRecForm* rec = m.CurrentRecordingWindow();
    EXPECT_EQ(rec->frameGeometry().topLeft(), QPoint(337, 113));

    m.NewAdvisorButton->click();
    auto* a = m.findChild<TAdvisorForm*>();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->frameGeometry().topLeft(), QPoint(195, 107));
    EXPECT_EQ(a->size(), QSize(542, 567));
    EXPECT_EQ(a->minimumSize(), QSize(542, 567));
    Settle(a);
    auto* advice = Find<QPlainTextEdit>(a, "txtAdvice");
    auto* edit = Find<QLineEdit>(a, "StateEdit");
    auto* update = Find<QPushButton>(a, "UpdateButton");
    EXPECT_EQ(advice->geometry(), QRect(24, 56, 489, 465));
    EXPECT_EQ(Find<QPushButton>(a, "AnalyzeButton")->geometry(), QRect(24, 16, 75, 25));
    EXPECT_EQ(edit->geometry(), QRect(120, 16, 297, 24));
    a->resize(642, 667);
    Settle(a);
    EXPECT_EQ(advice->geometry(), QRect(24, 56, 589, 565));
    EXPECT_EQ(edit->size(), QSize(397, 24));
    EXPECT_EQ(update->geometry().right(), a->width() - 30);
    a->resize(300, 300);   // no smaller than designed
    EXPECT_EQ(a->size(), QSize(542, 567));

    // The recording window: designed height, wider than designed for the report's lines.
    EXPECT_EQ(rec->minimumSize(), QSize(541, 570));
    EXPECT_EQ(rec->height(), 570);
    auto* text = Find<QPlainTextEdit>(rec, "txtGameRec");
    PlayWholeGame(t);
    Settle(rec);
    EXPECT_GT(rec->width(), 541);
    EXPECT_EQ(text->horizontalScrollBar()->maximum(), 0) << "a report line needs scrolling";
    const QSize before = text->size();
    rec->resize(rec->width() + 50, rec->height() + 70);
    Settle(rec);
    EXPECT_EQ(text->size(), before + QSize(50, 70));

    // The table settings window, modal, at its own place.
    QPoint settings;
    WhenModal<TCreateTableForm>(&m, [&settings](TCreateTableForm* w) {
        settings = w->frameGeometry().topLeft();
        w->OKButton->click();
    });
    m.Settings1->trigger();
    EXPECT_EQ(settings, QPoint(441, 208));
}

// With large fonts (QT_FONT_DPI=144 makes everything half as large again) on a 1280 by 1024
// screen, and on one 800 high, every window lies inside the screen: a window that fits keeps its
// designed place; one that does not is moved only up to the screen's edge, and the resizable ones
// are shrunk to the screen where it is too small for them.
TEST(WindowPlaces, InsideTheScreenWithLargeFonts) {
    const std::map<std::string, QPoint> designed = {
        {"MainForm", {0, 0}},         {"DiceSetForm", {0, 105}},  {"ScoreCardForm", {0, 208}},
        {"GameRecForm", {337, 113}},  {"AdvisorForm", {195, 107}}, {"CreateTableForm", {441, 208}}};
    const std::map<std::string, QSize> fixedSize = {
        {"DiceSetForm", {246, 73}}, {"ScoreCardForm", {305, 505}}, {"CreateTableForm", {464, 345}}};
    for (int height : {1024, 800}) {
        SCOPED_TRACE(height);
        ProgramFolder folder;
        FolderWithTables(folder, "gstbl", true);
        const std::string screen = folder.Root() + "/screen.json";
        std::ofstream(screen) << R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": 1280, )"
                              << R"("height": )" << height << "}]}";
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", QString::fromStdString("offscreen:configfile=" + screen));
        env.insert("QT_FONT_DPI", "144");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--trainer-child", QString::fromStdString(folder.Bin()), "places"});
        ASSERT_TRUE(child.waitForFinished(60000));
        EXPECT_EQ(child.exitCode(), 0);

        std::map<std::string, QRect> places;
        std::map<std::string, QSize> sizes;   // of the client areas
        std::istringstream out(child.readAllStandardOutput().toStdString());
        std::string name;
        int x, y, w, h, cw, ch;
        while (out >> name >> x >> y >> w >> h >> cw >> ch) {
            places[name] = QRect(x, y, w, h);
            sizes[name] = QSize(cw, ch);
        }
        const QRect area = places["screen"];
        EXPECT_EQ(area, QRect(0, 0, 853, qRound(height / 1.5))) << "the fonts are not larger";
        for (const auto& [window, place] : designed) {
            SCOPED_TRACE(window);
            ASSERT_EQ(places.count(window), 1u) << "not shown";
            const QRect r = places[window];
            EXPECT_TRUE(area.contains(r)) << r.x() << " " << r.y() << " " << r.width() << "x"
                                          << r.height();
            // At its place, or moved to the edge (at this fractional scale a pixel is kept to
            // spare on each side of the frame).
            EXPECT_TRUE(r.x() == place.x() || r.right() >= area.right() - 2) << r.x();
            EXPECT_TRUE(r.y() == place.y() || r.bottom() >= area.bottom() - 2) << r.y();
            if (fixedSize.count(window)) {
                EXPECT_EQ(sizes[window], fixedSize.at(window));
            }
        }
        // What the screen forces: the score card up, the recording window and the table
        // settings to the left; the main window and the dice set stay where designed.
        EXPECT_LT(places["ScoreCardForm"].y(), 208);
        EXPECT_LT(places["GameRecForm"].x(), 337);
        EXPECT_LT(places["CreateTableForm"].x(), 441);
        EXPECT_EQ(places["MainForm"].topLeft(), QPoint(0, 0));
        EXPECT_EQ(places["DiceSetForm"].topLeft(), QPoint(0, 105));
        if (height == 800) {   // too low for the resizable windows: shrunk to its height
            EXPECT_GE(places["AdvisorForm"].height(), area.height() - 2);
            EXPECT_LT(sizes["AdvisorForm"].height(), 567);
            EXPECT_LT(sizes["GameRecForm"].height(), 570);
        } else {
            EXPECT_EQ(sizes["AdvisorForm"], QSize(542, 567));
        }
    }
}

// Every menu and every item has an access key, unique within its menu, that does not show in
// its text; Alt and the keys reach the items. Ctrl+N, Ctrl+Q and F1 are New Game, Exit and
// About; the advisor opens ready for typing, and Return in its state edit analyses the text.
TEST(Keyboard, AccessKeysShortcutsAndReturn) {
    Trainer t;
    TMainForm& m = *t.main;
    const std::vector<std::pair<std::string, std::vector<std::string>>> menus = {
        {"File", {"Exit"}},
        {"Game", {"New Game", "Hints", "Tutor", "Warn at 0.01", "Warn at 1.0", "Warn at 5.0", "Statistics...", "Drills..."}},
        {"Dice", {"Fair", "Demonic", "Angelic"}},
        {"Advisor", {"New Window"}},
        {"Tables", {"Settings..."}},
        {"Help", {"About", "Keyboard"}}};
    // The text without its marker, and the access key (0 when there is none).
    auto split = [](const QString& text) {
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        QString shown = text;
        if (amp >= 0) shown.remove(amp, 1);
        const QChar key = amp >= 0 && amp + 1 < text.size() ? text[amp + 1].toLower() : QChar();
        EXPECT_EQ(text.count(QLatin1Char('&')), amp >= 0 ? 1 : 0) << text.toStdString();
        return std::pair<std::string, QChar>(shown.toStdString(), key);
    };
    const QList<QAction*> bar = m.menuBar()->actions();
    ASSERT_EQ(bar.size(), qsizetype(menus.size()));
    QString barKeys;
    for (std::size_t i = 0; i < menus.size(); ++i) {
        const auto [title, key] = split(bar[qsizetype(i)]->text());
        EXPECT_EQ(title, menus[i].first);
        EXPECT_FALSE(key.isNull() || barKeys.contains(key)) << title;
        barKeys += key;
        QString itemKeys;
        std::vector<std::string> items;
        for (QAction* a : bar[qsizetype(i)]->menu()->actions()) {
            if (a->isSeparator()) continue;
            const auto [item, itemKey] = split(a->text());
            items.push_back(item);
            EXPECT_FALSE(itemKey.isNull() || itemKeys.contains(itemKey)) << item;
            itemKeys += itemKey;
        }
        EXPECT_EQ(items, menus[i].second);
    }
    EXPECT_EQ(barKeys, "fgdath");

    QApplication::setActiveWindow(&m);
    // Alt+H, then A: About.
    t.dialogs.ExpectInform();
    QTest::keyClick(&m, Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(m.Help1->isVisible());
    QTest::keyClick(m.Help1, Qt::Key_A);
    EXPECT_EQ(t.dialogs.Last().rfind("Version 1.2.1 beta", 0), 0u);
    EXPECT_FALSE(m.Help1->isVisible());
    t.dialogs.ExpectInform();
    QTest::keyClick(&m, Qt::Key_F1);
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::InformKind).size(), 3u);

    // Alt+D, then D: the demonic dice, as the dice set's caption shows without the marker.
    QTest::keyClick(&m, Qt::Key_D, Qt::AltModifier);
    QTest::keyClick(m.Dice1, Qt::Key_D);
    EXPECT_EQ(m.DiceSet()->windowTitle(), "Dice Set [Demonic]");

    // Ctrl+N does nothing before the first roll (New Game is off), then offers to abort the
    // game; Ctrl+Q offers to exit. Both cancelled.
    QTest::keyClick(&m, Qt::Key_N, Qt::ControlModifier);
    Find<QPushButton>(m.DiceSet(), "ButRoll")->click();
    QApplication::setActiveWindow(&m);
    t.dialogs.ExpectAsk(false);
    QTest::keyClick(&m, Qt::Key_N, Qt::ControlModifier);
    t.dialogs.ExpectAsk(false);
    QTest::keyClick(&m, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(t.dialogs.Texts(ScriptedDialogs::AskKind),
              (std::vector<std::string>{"Abort and analyze current game?",
                                        "Discard game in progress, and exit?"}));
    EXPECT_EQ(m.Phase(), gpGameInProgress);
    EXPECT_TRUE(m.isVisible());
    EXPECT_EQ(m.NewGame1->text(), "&Abort Game");

    // Return in the advisor's edit.
    m.NewAdvisorButton->click();
    auto* a = m.findChild<TAdvisorForm*>();
    ASSERT_NE(a, nullptr);
    auto* edit = Find<QLineEdit>(a, "StateEdit");
    edit->setText("123456TFHSLQC;63-   0  56666;2");
    QApplication::setActiveWindow(a);
    EXPECT_EQ(a->focusWidget(), edit);   // ready for typing
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Find<QPlainTextEdit>(a, "txtAdvice")->toPlainText().section('\n', 0, 0),
              "23 options");
}

// The real message boxes: a short text still leaves room for the caption with the window
// manager's icon and buttons beside it, and the table's Info keeps its value on the line of its
// name instead of wrapping it.
TEST(MessageBoxes, RoomForTheCaptionAndTheLongestLine) {
    Trainer t;
    SetDialogs(nullptr);   // the real ones, until the end of the test
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const int caption = QFontMetrics(titleFont).horizontalAdvance("Quintor Trainer");
    int width = 0;
    QTimer::singleShot(0, [&width] {
        if (QMessageBox* box = ShownBox()) {
            width = box->width();
            box->accept();
        }
    });
    RealDialogs().Inform("Game Over!");
    const int titleBar = t.main->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    EXPECT_GE(width, caption + 4 * titleBar) << "the caption does not fit";

    // Info in the table settings: no line of the text is wrapped.
    TCreateTableForm form(t.main.get());
    form.show();
    std::vector<std::string> lines;
    bool wrapped = true;
    QTimer::singleShot(0, [&] {
        QMessageBox* box = ShownBox();
        if (!box) return;
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        for (const QString& l : box->text().split('\n')) lines.push_back(l.toStdString());
        wrapped = label->heightForWidth(label->width()) > label->heightForWidth(10000);
        box->accept();
    });
    form.ExpectedInfo->click();
    SetDialogs(&t.dialogs);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].rfind("Optimal Expected Final Score of Zelk for GRAND TOTAL = ", 0), 0u);
    EXPECT_FALSE(wrapped) << lines[3];
}
