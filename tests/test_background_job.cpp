// The one way long work leaves the window's thread: ends and progress
// arrive on the context's thread, a cancelled run says nothing, and a job
// destroyed mid-run waits for its thread.

#include "platform/background_job.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <chrono>

class Test_background_job : public QObject {
    Q_OBJECT

private slots:
    void The_end_and_progress_arrive_on_the_context_thread()
    {
        QObject context;
        Background_job<int> job(&context);
        QList<int> seen;
        QThread* end_thread = nullptr;
        int result = 0;
        QVERIFY(job.Start(
            [](const Job_control& control) {
                for (int i = 1; i <= 50; ++i)
                    control.Progress(i, 50);
                return 42;
            },
            [&](int value) {
                result = value;
                end_thread = QThread::currentThread();
            },
            [&](int done, int total) {
                QCOMPARE(total, 50);
                seen << done;
            }));
        QVERIFY(!job.Start([](const Job_control&) { return 0; }));
        QTRY_COMPARE(result, 42);
        QCOMPARE(end_thread, QThread::currentThread());
        QVERIFY(!job.Running());
        // Words are merged while one waits, but never go backwards, and the
        // last one holds the end.
        QVERIFY(!seen.isEmpty());
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCoreApplication::processEvents();
        QCOMPARE(seen.last(), 50);
    }

    void A_cancelled_run_delivers_nothing_and_a_new_one_starts()
    {
        QObject context;
        Background_job<int> job(&context);
        int ends = 0;
        std::atomic<bool> saw_cancel{false};
        job.Start(
            [&](const Job_control& control) {
                while (!control.Cancelled())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                saw_cancel = true;
                return 1;
            },
            [&](int) { ++ends; });
        job.Cancel();
        QVERIFY(saw_cancel);
        QVERIFY(!job.Running());
        QCoreApplication::processEvents();
        QCOMPARE(ends, 0);
        job.Start([](const Job_control&) { return 2; }, [&](int v) { ends += v; });
        QTRY_COMPARE(ends, 2);
    }

    void A_run_asked_to_stop_still_ends_and_its_end_may_start_the_next()
    {
        QObject context;
        Background_job<int> job(&context);
        QList<int> ends;
        std::function<void(int)> on_end = [&](int value) {
            ends << value;
            if (value == 7)  // the stopped run's end starts the next run
                QVERIFY(job.Start(
                    [](const Job_control& control) { return control.Cancelled() ? -1 : 8; },
                    on_end));
        };
        job.Start(
            [](const Job_control& control) {
                while (!control.Cancelled())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                return 7;
            },
            on_end);
        job.Ask_to_stop();
        QVERIFY(job.Stop_asked());
        QTRY_COMPARE(ends, (QList<int>{7, 8}));
        QVERIFY(!job.Stop_asked());
        QTRY_VERIFY(!job.Running());
    }

    void A_job_destroyed_mid_run_waits_and_its_end_is_dropped()
    {
        auto context = std::make_unique<QObject>();
        std::atomic<bool> stopped{false};
        int ends = 0;
        {
            Background_job<int> job(context.get());
            job.Start(
                [&](const Job_control& control) {
                    while (!control.Cancelled())
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    stopped = true;
                    return 1;
                },
                [&](int) { ++ends; });
        }
        QVERIFY(stopped);
        QCoreApplication::processEvents();
        QCOMPARE(ends, 0);
    }

    void Without_a_context_the_owner_takes_the_result()
    {
        Background_job<QString> job;
        job.Start([](const Job_control& control) {
            control.Progress(3, 4);
            return QStringLiteral("済み");
        });
        QTRY_VERIFY(job.Finished());
        QCOMPARE(job.Progress_done(), 3);
        QCOMPARE(job.Progress_total(), 4);
        QCOMPARE(job.Take().value(), QStringLiteral("済み"));
        QVERIFY(!job.Running());
        QVERIFY(!job.Take().has_value());
    }
};

QTEST_GUILESS_MAIN(Test_background_job)
#include "test_background_job.moc"
