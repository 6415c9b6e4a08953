#pragma once
// A fresh program folder and a diary session on it, on the fake clock at
// 21:30:15 on 7 December 2026, for a core test class to inherit.

#include "diary/session.h"
#include "support/fake_clock.h"
#include "support/temp_folder.h"

#include <QtTest>
#include <memory>

class Session_fixture {
protected:
    std::unique_ptr<Temp_folder> folder;
    Fake_clock clock;
    std::unique_ptr<Diary_session> session;

    QString At(const QString& relative) const { return folder->File(relative); }

    // For init().
    void Set_up()
    {
        folder = std::make_unique<Temp_folder>();
        QVERIFY(folder->Ok());
        clock.now = QDateTime(QDate(2026, 12, 7), QTime(21, 30, 15));
        session = std::make_unique<Diary_session>(folder->Path(), clock);
    }

    // The first of start-up's data steps, as the main window runs them,
    // with no failure: today read, this year's folder and index made.
    void Make_this_year()
    {
        QVERIFY(session->Read_today());
        QVERIFY(session->Ensure_year_folder(2026).Ok());
        QVERIFY(session->Create_this_year_index().Ok());
    }

    // Start-up's data steps, as the main window runs them, with no failure,
    // on the first start with 7 December as the diary's day.
    void Start()
    {
        Make_this_year();
        Io_result error;
        session->Read_settings(Settings::First_values(4590, 9645, QStringLiteral("2026/12/07")),
                               error);
        QVERIFY(error.Ok());
        session->Load_diary_day({2026, 12, 7});
        const Diary_session::Hand_over hand_over = session->Hand_over_messages_at_start();
        QVERIFY(hand_over.settings_error.Ok());
        QVERIFY(hand_over.move_error.Ok());
        session->Finish_start();
    }
};
