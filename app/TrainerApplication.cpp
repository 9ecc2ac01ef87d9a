#include "app/TrainerApplication.h"

#include <csignal>
#include <memory>

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

#include "app/Dialogs.h"
#include "app/main.h"
#include "core/GeneralStuff.h"
#include "play/QuintorStartup.h"

using namespace quintor;

namespace {

// SIGTERM and SIGINT only write a byte here; the loop reads it and leaves, so the shut-down
// runs as after closing the window. A second signal ends the process at once, for the case
// that no loop is running to read the first.
int termPipe[2] = {-1, -1};
volatile std::sig_atomic_t termRequested = 0;

void OnTerminate(int sig) {
    if (termRequested) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    termRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(termPipe[1], &byte, 1);
}

QString Text(const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
}

}  // namespace

TrainerApplication::TrainerApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(ApplicationTitle);
    // Only the main window ends the program: the game windows outlive a closed dialog.
    setQuitOnLastWindowClosed(false);
    WatchTermination();
}

TrainerApplication::~TrainerApplication() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

void TrainerApplication::WatchTermination() {
    if (termPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, termPipe) != 0) return;
    auto* notifier = new QSocketNotifier(termPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(termPipe[0], &byte, 1);
        stopping = true;
        Leave();
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

bool TrainerApplication::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::ToolTip && !hintsShown) return true;
    try {
        return QApplication::notify(receiver, event);
    } catch (const CheckFailure& e) {
        Stop(Text(e));
    } catch (const std::exception& e) {
        // Range, overflow and file errors (and anything else a handler lets escape) abandon
        // the event; the program goes on.
        Dialogs().ShowError(Text(e));
    }
    return false;
}

void TrainerApplication::Stop(const QString& failure) {
    if (!stopping) {
        stopping = true;
        Dialogs().Inform(failure);
    }
    Leave();
}

void TrainerApplication::Leave() {
    // Not quit(): that first asks every window to close, and the game windows refuse the user.
    // The windows go when the main window is destroyed after the loop.
    exit(0);
}

int RunTrainer(int& argc, char** argv, const TrainerOptions& options) {
    StartModules(options.programPath);
    int rc = 0;
    {
        TrainerApplication app(argc, argv);
        std::unique_ptr<TMainForm> form;
        try {
            form = std::make_unique<TMainForm>();
            QObject::connect(form.get(), &TMainForm::Closed, &app, &TrainerApplication::Leave);
            form->show();
            if (options.started) options.started(*form);
            if (!app.Stopping()) rc = app.exec();
        } catch (const CheckFailure& e) {
            app.Stop(Text(e));
        } catch (const std::exception& e) {
            // Outside any event: start-up itself went wrong, so there is nothing to go on with.
            Dialogs().ShowError(Text(e));
            rc = 1;
        }
        form.reset();
    }
    StopModules();
    return rc;
}
