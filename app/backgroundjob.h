// Work too long for the window thread: it runs on a worker of the application's thread pool,
// one request at a time per job. A newer request replaces the one waiting and asks the running
// one to stop; only the newest request's result ever reaches the window.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QObject>

class TBackgroundJob : public QObject {
    Q_OBJECT
public:
    // What the work gets: a flag set once its result is no longer wanted (it may stop early) and
    // a way to report progress.
    struct Control {
        const std::atomic<bool>& stop;
        std::function<void(int done, int all)> progress;
    };
    // Runs on the worker; the function it returns runs on this object's thread, and only when no
    // newer request came meanwhile. The work reports its own failures through what it returns.
    using Work = std::function<std::function<void()>(const Control&)>;

    explicit TBackgroundJob(QObject* parent = nullptr);
    ~TBackgroundJob() override;

    void Request(Work work);
    // Forgets the waiting request and the running one's result.
    void Cancel();
    // A wanted result is still to come.
    bool Busy() const { return bool(waiting) || (running && runningGeneration == generation); }

signals:
    void BusyChanged(bool busy);
    void Progress(int done, int all);   // of the newest request

private:
    struct Shared;   // the workers' way back to this object, while it lives
    void Start(Work work);
    void Finished(quint64 of, const std::function<void()>& done);
    void Reached(quint64 of, int done, int all);
    void Changed(bool wasBusy);

    std::shared_ptr<Shared> shared;
    quint64 generation = 0;          // of the newest request
    quint64 runningGeneration = 0;
    bool running = false;
    Work waiting;                    // the newest request while another runs
    std::shared_ptr<std::atomic<bool>> stopRunning;
};
