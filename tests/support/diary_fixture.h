#pragma once
// What the window tests share: the settings file's bytes, one diary entry
// and what saving it writes, twips to pixels, a main window started on a
// fresh program folder with the fake platform on a set clock, and the
// modal window found from inside a real exec().

#include "app/main_form.h"
#include "support/fake_platform.h"
#include "support/main_form_probe.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <utility>

// The first run's settings on 7 December 2026, the design window centred on
// 1920 x 1080 pixels at 15 twips a pixel: left (28800 - 9510) / 2 = 9645,
// top (16200 - 7020) / 2 = 4590.
inline const QByteArray First_ini =
    Ini({"0", "4590", "9645", "7020", "9510", "nomal", "1", "2026/12/07", "2026/12/07", "mada"});

// 晴れ。 / 散歩した。 with the memo 散歩, and the bytes it is saved as.
inline const QString Day_text = QStringLiteral("晴れ。\n散歩した。");
inline const QString Day_memo = QStringLiteral("散歩");
inline const QByteArray Day_file_bytes =
    Hex("90 b0 82 ea 81 42 0d 0a 8e 55 95 e0 82 b5 82 bd 81 42 0d 0a");
inline const QByteArray Today_record_only =
    Hex("32 30 32 36 2f 31 32 2f 30 37 30 0d 0a");  // 2026/12/070
inline const QByteArray Today_record_saved =
    Hex("32 30 32 36 2f 31 32 2f 30 37 31 8e 55 95 e0 0d 0a");  // 2026/12/071散歩

// Types the entry above into the diary panel and ticks 思い出, as a user.
void Write_diary_entry(Main_form& form);

// Makes a main window on the folder with the fake as platform and clock,
// runs its start-up and shows it when start-up lets the program go on.
std::unique_ptr<Main_form> Start_form(Fake_platform& fake, const QString& app_dir);

// Fails the current test for every top-level window still shown, but for
// those named in allowed.
void Verify_no_window_left_open(const QStringList& allowed = {});

// Once the event loop runs (inside the exec() about to start), hands the
// active modal window to user; a missing window, or one of another kind, is
// a failure, and the window shown instead is closed.
template <class W, class User>
void When_modal(const QObject* context, User user)
{
    QTimer::singleShot(0, context, [user = std::move(user)]() mutable {
        QWidget* active = QApplication::activeModalWidget();
        auto* window = qobject_cast<W*>(active);
        if (!window) {
            const QString found = active ? active->objectName() : QStringLiteral("none");
            if (active)
                active->close();
            QFAIL(qPrintable(QStringLiteral("no %1 shown modally (active: %2)")
                                 .arg(QLatin1String(W::staticMetaObject.className()), found)));
        }
        user(*window);
    });
}

// A fresh program folder and the fake platform at 21:30:15 on 7 December
// 2026 with a 1920 x 1080 pixel screen, for a test class to inherit.
class Diary_fixture {
protected:
    std::unique_ptr<Temp_folder> folder;
    std::unique_ptr<Fake_platform> fake;
    double dpi = 96;

    // For init(): false when no folder could be made.
    bool Set_up();
    // For cleanup(): the fake saw only what was scripted, and no window but
    // those named in allowed is still shown.
    void Verify_clean(const QStringList& allowed = {}) const;
    std::unique_ptr<Main_form> Start(const QString& app_dir = QString())
    {
        return Start_form(*fake, app_dir.isEmpty() ? folder->Path() : app_dir);
    }
    QString At(const QString& relative) const { return folder->File(relative); }
    int Px(double twips) const { return qRound(twips * dpi / 1440.0); }
    // Each of left, top, width and height rounded on its own.
    QRect Px_rect(double l, double t, double w, double h) const
    {
        return {Px(l), Px(t), Px(w), Px(h)};
    }
    // Ends the program by its 終了 button; the program must have ended.
    static void End(Main_form& form);
    // The question a save asks when 7 December changed on disk, its copy
    // named.
    static QString Changed_day_question(const QString& copy);
    // Writes 雨。 into 7 December's file as another program would, and
    // returns the question a save of the day asks then.
    QString Change_day_elsewhere() const;
};
