// The application object and the program's run from start-up to shut-down. Errors thrown by an
// event handler end here: a failed check is shown and the program shuts down normally; a range,
// overflow or input/output error is shown and only the event is abandoned.
#pragma once

#include <functional>
#include <string>

#include <QApplication>

class TMainForm;

inline const char* const ApplicationTitle = "Quintor Trainer";

class TrainerApplication : public QApplication {
    Q_OBJECT
public:
    TrainerApplication(int& argc, char** argv);
    ~TrainerApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of a failed check once and leaves the event loop.
    void Stop(const QString& failure);
    bool Stopping() const { return stopping; }
    // Ends the event loop (all nested loops too); the caller shuts down.
    void Leave();

    // The application-wide hint switch (each control has its own as well).
    void SetHintsShown(bool on) { hintsShown = on; }
    bool HintsShown() const { return hintsShown; }

private:
    void WatchTermination();

    bool stopping = false;
    bool hintsShown = true;
};

struct TrainerOptions {
    // The program file the run log is named after; empty for the running program.
    std::string programPath;
    // Called with the shown main window just before the event loop starts.
    std::function<void(TMainForm&)> started;
};

// Starts the modules, runs the main window until it closes (or a check fails, or the process
// is asked to terminate), then stops the modules, so "Run Stopped" ends the run log.
int RunTrainer(int& argc, char** argv, const TrainerOptions& options = {});
