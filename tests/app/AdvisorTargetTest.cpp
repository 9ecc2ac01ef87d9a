// The advisor's Target field: empty, the listing is the plain one; with a target the chances come
// from a worker thread and read exactly as the console's advice with a target; bad targets get a
// message; a newer analysis replaces one whose chances are still coming. Late positions only, so
// the engine answers quickly.
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QLabel>
#include <QThread>
#include <QThreadPool>

#include "AppTestSupport.h"
#include "app/advisor.h"
#include "play/QuintorStateAnalyzer.h"

using namespace quintor;

namespace {

// Three free boxes (Aces, Three of a Kind, Chance), 200 so far: a roll with one roll left, kept
// dice before the last roll, a finished game, and a text with an error.
const char* const Roll = "1TC;0-  200  11235;1";
const char* const Kept = "1TC;0-  200  11;1";
const char* const Over = ";0-  200  ;3";
const char* const Wrong = "1TC;0-  200  1123;0";

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (std::size_t i = 0; i < lines.size(); ++i) s += (i ? "\n" : "") + lines[i];
    return s;
}
std::string Plain(const char* text) {
    std::vector<std::string> lines;
    Advise(lines, text, OptimalStrategy);
    return Joined(lines);
}
std::string WithTarget(const char* text, int target) {
    std::vector<std::string> lines;
    AdviseWithTarget(lines, text, target);
    return Joined(lines);
}

struct Advisor {
    explicit Advisor(Trainer& t) {
        t.main->NewAdvisorButton->click();
        form = t.main->findChild<TAdvisorForm*>();
        if (!form) ADD_FAILURE() << "no advisor window";
    }
    std::string Analyze(const std::string& state, const std::string& target) {
        form->Init(state);
        Find<QLineEdit>(form, "TargetEdit")->setText(QString::fromStdString(target));
        Find<QPushButton>(form, "AnalyzeButton")->click();
        return Text();
    }
    std::string Text() const { return Find<QPlainTextEdit>(form, "txtAdvice")->toPlainText().toStdString(); }
    QString Status() const { return Find<QLabel>(form, "TargetStatus")->text(); }
    // Lets the worker finish and its result arrive, for at most a minute.
    void Wait() const { EXPECT_TRUE(WaitWhile([this] { return form->Computing(); })); }
    TAdvisorForm* form = nullptr;
};

TEST(AdvisorTarget, EmptyTargetKeepsTheListingAndBadTargetsGetAMessage) {
    Trainer t;
    Advisor a(t);
    ASSERT_NE(a.form, nullptr);
    auto* edit = Find<QLineEdit>(a.form, "TargetEdit");
    EXPECT_TRUE(edit->text().isEmpty());
    auto* label = Find<QLabel>(a.form, "LabelTarget");
    EXPECT_EQ(label->text(), "&Target:");   // Alt+T
    EXPECT_EQ(label->buddy(), edit);

    // Empty (blanks count as empty): the listing of the plain advice, nothing computed.
    for (const char* text : {"123456TFHSLQC;63-   0  56666;0", "123456TFHSLQC;63-   0  ;3", Roll,
                             Kept, Over, Wrong}) {
        for (const char* target : {"", "   "}) {
            EXPECT_EQ(a.Analyze(text, target), Plain(text)) << text;
            EXPECT_FALSE(a.form->Computing()) << text;
            EXPECT_TRUE(a.Status().isEmpty()) << a.Status().toStdString();
        }
    }
    // After a target, an empty field gives the plain listing again, and no late chances come.
    a.Analyze(Roll, "240");
    EXPECT_TRUE(a.form->Computing());
    EXPECT_EQ(a.Analyze(Roll, ""), Plain(Roll));
    EXPECT_FALSE(a.form->Computing());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(a.Text(), Plain(Roll));

    // A bad target: the plain listing and a message beside the field; nothing runs.
    for (const char* target : {"abc", "0", "1576", "-5", "+300", "12x", "99999999", "3 00"}) {
        EXPECT_EQ(a.Analyze(Roll, target), Plain(Roll)) << target;
        EXPECT_EQ(a.Status(), TAdvisorForm::BadTargetText()) << target;
        EXPECT_FALSE(a.form->Computing()) << target;
    }
    EXPECT_EQ(a.Analyze(Roll, "1575"), Plain(Roll));   // the largest target is one
    EXPECT_EQ(a.Status(), TAdvisorForm::ComputingText(1575));
    a.Wait();
    EXPECT_EQ(a.Text(), WithTarget(Roll, 1575));
}

TEST(AdvisorTarget, ChancesComeFromTheWorkerAsTheConsoleAdviceHasThem) {
    Trainer t;
    Advisor a(t);
    ASSERT_NE(a.form, nullptr);
    // At once the plain listing and a note that the chances are being computed; the result
    // arrives through the event loop only.
    EXPECT_EQ(a.Analyze(Roll, " 240 "), Plain(Roll));
    EXPECT_TRUE(a.form->Computing());
    EXPECT_EQ(a.Status(), TAdvisorForm::ComputingText(240));
    a.Wait();
    const std::string shown = a.Text();
    EXPECT_EQ(shown, WithTarget(Roll, 240));
    EXPECT_TRUE(a.Status().isEmpty());
    // Every option line is the plain one with its chance after it; the best chance is not the
    // first option's here, so the line under the list names it.
    std::vector<std::string> plain;
    Advise(plain, Roll, OptimalStrategy);
    std::istringstream lines(shown);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, plain[0]);
    for (std::size_t i = 1; i < plain.size(); ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line.substr(0, plain[i].size()), plain[i]);
        EXPECT_EQ(line.size(), plain[i].size() + 8) << line;
        const double percent = std::stod(line.substr(plain[i].size()));
        EXPECT_TRUE(percent >= 0.0 && percent <= 100.0 && line.back() == '%') << line;
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "Best chance to reach 240: Keeping _ _ _ _ 5");

    // Kept dice: one line per outcome of the roll, each with its chance.
    a.Analyze(Kept, "230");
    a.Wait();
    EXPECT_EQ(a.Text(), WithTarget(Kept, 230));
    EXPECT_NE(a.Text(), Plain(Kept));
    // Nothing to compute for an error or a finished game.
    for (const char* text : {Wrong, Over}) {
        EXPECT_EQ(a.Analyze(text, "240"), Plain(text)) << text;
        EXPECT_FALSE(a.form->Computing()) << text;
        EXPECT_TRUE(a.Status().isEmpty()) << text;
    }
    // Return in the target field analyses, as in the state field.
    a.form->Init(Roll);
    Find<QLineEdit>(a.form, "TargetEdit")->setText("250");
    QTest::keyClick(Find<QLineEdit>(a.form, "TargetEdit"), Qt::Key_Return);
    a.Wait();
    EXPECT_EQ(a.Text(), WithTarget(Roll, 250));
}

TEST(AdvisorTarget, ANewerAnalysisReplacesOneStillComputing) {
    Trainer t;
    Advisor a(t);
    ASSERT_NE(a.form, nullptr);
    std::vector<std::string> seen;
    auto* text = Find<QPlainTextEdit>(a.form, "txtAdvice");
    QObject::connect(text, &QPlainTextEdit::textChanged,
                     [&seen, text] { seen.push_back(text->toPlainText().toStdString()); });
    a.Analyze(Roll, "240");
    a.Analyze(Kept, "240");   // before the first one's chances arrived
    a.Wait();
    EXPECT_EQ(a.Text(), WithTarget(Kept, 240));
    for (const std::string& s : seen) EXPECT_NE(s, WithTarget(Roll, 240)) << "a stale result was shown";
    // Same state, other target: only the newer target's chances.
    seen.clear();
    a.Analyze(Roll, "240");
    a.Analyze(Roll, "260");
    a.Wait();
    EXPECT_EQ(a.Text(), WithTarget(Roll, 260));
    for (const std::string& s : seen) EXPECT_NE(s, WithTarget(Roll, 240)) << "a stale result was shown";
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(a.Text(), WithTarget(Roll, 260));

    // Closed while computing: the worker's result finds no window, and nothing breaks.
    a.Analyze(Roll, "245");
    ASSERT_TRUE(a.form->Computing());
    const QPointer<TAdvisorForm> open = a.form;
    a.form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(open.isNull());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}

}  // namespace
