#pragma once
// Long work off the window's thread, done one way throughout the program:
// the work runs on a thread of its own and looks at a cancel flag between
// its pieces; its progress and its end are delivered on the thread of a
// context object (a window); cancelling, or destroying the job, sets the
// flag and waits for the thread, and nothing of that run is delivered
// afterwards. Without a context object nothing is delivered: the owner asks
// whether the work has finished and takes its result.

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// What a piece of work sees of its job.
class Job_control {
public:
    bool Cancelled() const { return state->cancel.load(); }
    const std::atomic<bool>& Cancel_flag() const { return state->cancel; }
    // How far the work is; the latest word is the one delivered.
    void Progress(int done, int total) const;

    struct State {
        std::atomic<bool> cancel{false};
        std::atomic<int> done{0};
        std::atomic<int> total{0};
        std::atomic<bool> progress_posted{false};
        std::atomic<bool> finished{false};
        // Counts the runs: a delivery of a run that is no longer the job's
        // own is dropped.
        std::atomic<int> run{0};
        QObject* context = nullptr;
        std::function<void(int, int)> on_progress;
    };
    explicit Job_control(std::shared_ptr<State> job_state, int job_run)
        : state(std::move(job_state)), run(job_run)
    {}

private:
    std::shared_ptr<State> state;
    int run;
};

template <class Result>
class Background_job {
public:
    using Work = std::function<Result(const Job_control&)>;
    using On_done = std::function<void(Result)>;
    using On_progress = std::function<void(int done, int total)>;

    explicit Background_job(QObject* context = nullptr)
        : state(std::make_shared<Job_control::State>())
    {
        state->context = context;
    }
    ~Background_job() { Cancel(); }
    Background_job(const Background_job&) = delete;
    Background_job& operator=(const Background_job&) = delete;

    // False when a run has not ended yet (its end not delivered or taken).
    bool Start(Work work, On_done done = {}, On_progress progress = {})
    {
        if (worker.joinable())
            return false;
        const int run = state->run.fetch_add(1) + 1;
        state->cancel = false;
        state->finished = false;
        state->done = 0;
        state->total = 0;
        state->progress_posted = false;
        state->on_progress = std::move(progress);
        on_done = std::move(done);
        {
            std::lock_guard lock(result_mutex);
            result.reset();
        }
        worker = std::thread([this, run, work = std::move(work), shared = state] {
            Result value = work(Job_control(shared, run));
            {
                std::lock_guard lock(result_mutex);
                result = std::move(value);
            }
            shared->finished = true;
            if (shared->context)
                QMetaObject::invokeMethod(
                    shared->context,
                    [this, run, shared] {
                        // The job is alive while its run is current: both
                        // change on this thread only.
                        if (shared->run.load() == run)
                            Deliver_end();
                    },
                    Qt::QueuedConnection);
        });
        return true;
    }

    // A run started whose end has not been delivered or taken.
    bool Running() const { return worker.joinable(); }
    // The work has returned; its result waits to be delivered or taken.
    bool Finished() const { return worker.joinable() && state->finished.load(); }
    int Progress_done() const { return state->done.load(); }
    int Progress_total() const { return state->total.load(); }

    // The result of a finished run (its thread joined), or nothing.
    std::optional<Result> Take()
    {
        if (!Finished())
            return std::nullopt;
        worker.join();
        state->run.fetch_add(1);
        std::lock_guard lock(result_mutex);
        return std::exchange(result, std::nullopt);
    }
    // Waits for the run to end without cancelling it, then delivers its
    // end at once (or leaves it to Take without a context).
    void Wait()
    {
        if (!worker.joinable())
            return;
        worker.join();
        if (state->context) {
            state->run.fetch_add(1);
            Deliver_result();
        }
    }
    // Asks the run to stop at its next look at the cancel flag, without
    // waiting: its end is still delivered (or left to Take), so that the
    // window can tell what was done before it stopped.
    void Ask_to_stop() { state->cancel = true; }
    // The current or last run was asked to stop (or cancelled).
    bool Stop_asked() const { return state->cancel.load(); }
    // Stops the run and waits for its thread; its end is not delivered.
    void Cancel()
    {
        state->cancel = true;
        state->run.fetch_add(1);
        if (worker.joinable())
            worker.join();
        std::lock_guard lock(result_mutex);
        result.reset();
    }

private:
    void Deliver_end()
    {
        worker.join();
        state->run.fetch_add(1);
        Deliver_result();
    }
    void Deliver_result()
    {
        std::optional<Result> value;
        {
            std::lock_guard lock(result_mutex);
            value = std::exchange(result, std::nullopt);
        }
        // A copy: the end may start the job's next run, which replaces
        // on_done while this call is still running.
        if (value && on_done) {
            const On_done done = on_done;
            done(std::move(*value));
        }
    }

    std::shared_ptr<Job_control::State> state;
    On_done on_done;
    std::mutex result_mutex;
    std::optional<Result> result;
    std::thread worker;
};

inline void Job_control::Progress(int done, int total) const
{
    state->done = done;
    state->total = total;
    if (!state->context || !state->on_progress || state->progress_posted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        state->context,
        [shared = state, this_run = run] {
            shared->progress_posted = false;
            if (shared->run.load() == this_run && shared->on_progress)
                shared->on_progress(shared->done.load(), shared->total.load());
        },
        Qt::QueuedConnection);
}
