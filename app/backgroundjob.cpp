#include "app/backgroundjob.h"

#include <mutex>

#include <QThreadPool>

struct TBackgroundJob::Shared {
    std::mutex m;
    TBackgroundJob* owner = nullptr;
    // Queues f to run on the owner's thread. Under the lock the owner cannot be destroyed before
    // the event is posted; once posted, Qt drops it with the owner.
    template <class F>
    void Post(F f) {
        std::lock_guard<std::mutex> lock(m);
        if (owner) QMetaObject::invokeMethod(owner, std::move(f), Qt::QueuedConnection);
    }
};

TBackgroundJob::TBackgroundJob(QObject* parent) : QObject(parent), shared(std::make_shared<Shared>()) {
    shared->owner = this;
}

TBackgroundJob::~TBackgroundJob() {
    {
        std::lock_guard<std::mutex> lock(shared->m);
        shared->owner = nullptr;
    }
    // A worker still busy finishes on its own copies; telling it saves the rest of its time.
    if (stopRunning) *stopRunning = true;
}

void TBackgroundJob::Request(Work work) {
    const bool wasBusy = Busy();
    ++generation;
    if (running) {
        *stopRunning = true;
        waiting = std::move(work);
    } else {
        Start(std::move(work));
    }
    Changed(wasBusy);
}

void TBackgroundJob::Cancel() {
    const bool wasBusy = Busy();
    ++generation;
    waiting = nullptr;
    if (running) *stopRunning = true;
    Changed(wasBusy);
}

void TBackgroundJob::Start(Work work) {
    running = true;
    runningGeneration = generation;
    stopRunning = std::make_shared<std::atomic<bool>>(false);
    QThreadPool::globalInstance()->start(
        [sh = shared, stop = stopRunning, of = generation, work = std::move(work)] {
            Control control{*stop, [sh, of](int done, int all) {
                                sh->Post([sh, of, done, all] {
                                    if (sh->owner) sh->owner->Reached(of, done, all);
                                });
                            }};
            std::function<void()> done;
            try {
                done = work(control);
            } catch (...) {   // the work reports its own failures; nothing may leave a worker
                done = nullptr;
            }
            sh->Post([sh, of, done] {
                if (sh->owner) sh->owner->Finished(of, done);
            });
        });
}

void TBackgroundJob::Finished(quint64 of, const std::function<void()>& done) {
    const bool wasBusy = Busy();
    running = false;
    if (waiting) {
        Work next = std::move(waiting);
        waiting = nullptr;
        Start(std::move(next));
    } else if (of == generation && done) {
        done();
    }
    Changed(wasBusy);
}

void TBackgroundJob::Reached(quint64 of, int done, int all) {
    if (of == generation) emit Progress(done, all);
}

void TBackgroundJob::Changed(bool wasBusy) {
    if (Busy() != wasBusy) emit BusyChanged(Busy());
}
