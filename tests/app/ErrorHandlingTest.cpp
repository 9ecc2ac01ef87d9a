// What happens to errors that escape an event handler, in this process and in a whole run of
// the trainer in a child process.
#include <QCoreApplication>
#include <QEvent>
#include <QProcess>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ScriptedDialogs.h"
#include "app/TrainerApplication.h"
#include "core/GeneralStuff.h"

namespace {

// Throws the error it is given from its event handler.
class Thrower : public QObject {
public:
    std::function<void()> raise;
    int handled = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() != QEvent::User) return QObject::event(e);
        ++handled;
        raise();
        return true;
    }
};

TrainerApplication* App() {
    return qobject_cast<TrainerApplication*>(QCoreApplication::instance());
}

}  // namespace

TEST(ErrorHandling, RecoverableErrorsAbandonOnlyTheEvent) {
    ASSERT_NE(App(), nullptr);
    ScriptedDialogs dialogs;
    Thrower t;
    const std::function<void()> errors[] = {
        [] { throw quintor::RangeError("value = 70 is outside 0..63"); },
        [] { throw quintor::OverflowError("total overflows"); },
        [] { throw quintor::IOError("Could not read \"x.gstbl\": short file"); },
    };
    for (const auto& raise : errors) {
        t.raise = raise;
        dialogs.ExpectError();
        QEvent e(QEvent::User);
        QCoreApplication::sendEvent(&t, &e);
    }
    EXPECT_EQ(t.handled, 3);
    EXPECT_EQ(dialogs.Texts(ScriptedDialogs::ErrorKind),
              (std::vector<std::string>{"value = 70 is outside 0..63", "total overflows",
                                        "Could not read \"x.gstbl\": short file"}));
    EXPECT_FALSE(App()->Stopping());

    // Later events are handled as usual.
    t.raise = [] {};
    QEvent e(QEvent::User);
    QCoreApplication::sendEvent(&t, &e);
    EXPECT_EQ(t.handled, 4);
}

TEST(ErrorHandling, ApplicationWideHintSwitchStopsEveryTooltip) {
    Thrower t;   // any object: a tooltip event for it is swallowed before it arrives
    t.raise = [] {};
    App()->SetHintsShown(false);
    QEvent tip(QEvent::ToolTip);
    EXPECT_TRUE(App()->notify(&t, &tip));
    App()->SetHintsShown(true);
    EXPECT_TRUE(App()->HintsShown());
}

namespace {

struct ChildRun {
    std::string out, log;
    int exitCode = -1;
};

// The whole trainer in a child process, run in folder.Bin().
ChildRun RunTrainerChild(const ProgramFolder& folder, const char* mode) {
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({"--trainer-child", QString::fromStdString(folder.Bin()), mode});
    child.start();
    ChildRun run;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        ADD_FAILURE() << "the trainer did not stop (" << mode << ")";
        return run;
    }
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    run.exitCode = child.exitCode();
    run.out = child.readAllStandardOutput().toStdString();
    run.log = ReadWholeFile(folder.Bin() + "/QuintorTrainer.log");
    return run;
}

void ExpectRunStopped(const std::string& log) {
    EXPECT_EQ(log.rfind("Run Started on ", 0), 0u) << log;
    ASSERT_GE(log.size(), 2u);
    const std::size_t last = log.rfind('\n', log.size() - 2);
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(log.substr(last + 1, 15), "Run Stopped on ") << log;
}

}  // namespace

TEST(ErrorHandling, FailedCheckIsShownAndTheRunStillEndsWithRunStopped) {
    ProgramFolder folder;
    const ChildRun run = RunTrainerChild(folder, "fail");
    EXPECT_EQ(run.exitCode, 0);
    const std::string failure = "TMainForm.NewGame: GamePhase <> gpGameNotStarted FAILED";
    EXPECT_NE(run.out.find("INFORM: Could not find " + folder.Bin()), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("INFORM: " + failure + "\n"), std::string::npos) << run.out;
    ExpectRunStopped(run.log);
    EXPECT_EQ(run.log.find("FAILED"), std::string::npos);
    EXPECT_NE(run.log.find("ExePath = \"" + folder.Bin() + "\""), std::string::npos);
}

TEST(ErrorHandling, ExitWithTheGameWindowsOpenEndsTheRun) {
    ProgramFolder folder;
    FolderWithTables(folder, "gstbl", true);   // the default location beside the program
    const ChildRun run = RunTrainerChild(folder, "exit");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.find("INFORM:"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("ASK:"), std::string::npos) << run.out;
    ExpectRunStopped(run.log);
}
