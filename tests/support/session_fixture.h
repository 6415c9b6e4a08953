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
};
