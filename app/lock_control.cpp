#include "app/lock_control.h"

#include "app/lock_start.h"
#include "app/main_form.h"
#include "app/recovery_control.h"
#include "dialogs/lock_settings_window.h"
#include "dialogs/password_window.h"
#include "dialogs/work_window.h"
#include "platform/app_title.h"
#include "store/lock.h"
#include "store/own_settings.h"
#include "ui/io_message.h"
#include "ui/look.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include <mutex>
#include <utility>

namespace {

int Minutes_of(const QString& text)
{
    bool ok = false;
    const int minutes = text.trimmed().toInt(&ok);
    return ok && minutes >= 0 ? minutes : 10;
}

}  // namespace

Lock_control::Lock_control(Main_form& main_form)
    : QObject(&main_form), form(main_form), platform(main_form.For_recovery().platform)
{
    auto* settei = form.findChild<QMenu*>(QStringLiteral("Menu_settei"));
    Q_ASSERT(settei);
    settei->addSeparator();
    Menu_lock_settings = settei->addAction(QStringLiteral("鍵の設定…"));
    Menu_lock_settings->setObjectName(QStringLiteral("Menu_lock_settings"));
    connect(Menu_lock_settings, &QAction::triggered, this, &Lock_control::Menu_lock_settings_Click);
    Build_lock_menu(settei);  // lock_menu.cpp

    idle_minutes = Minutes_of(Read_own_settings(Folder()).values.lock_minutes);
    idle = new QTimer(this);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, this, &Lock_control::Lock_now);
    qApp->installEventFilter(this);
    Restart_idle();
}

Lock_control::~Lock_control() { qApp->removeEventFilter(this); }

QString Lock_control::Folder() const { return form.Session().App_dir(); }

void Lock_control::Menu_lock_settings_Click()
{
    Lock_settings_window window(form.Host(), idle_minutes);
    if (platform.Run_modal(window) != QDialog::Accepted)
        return;
    const int minutes = window.Idle_minutes();
    if (const Io_result r = Change_own_settings(
            Folder(), [minutes](Own_settings& s) { s.lock_minutes = QString::number(minutes); });
        !r.Ok()) {
        Show_failure(platform, QStringLiteral("鍵の設定を保存できませんでした。"), r);
        return;
    }
    idle_minutes = minutes;
    Restart_idle();
}

void Lock_control::Set_idle_ms(int ms)
{
    idle_ms_for_tests = ms;
    Restart_idle();
}

int Lock_control::Idle_ms() const
{
    return idle_ms_for_tests > 0 ? idle_ms_for_tests : idle_minutes * 60 * 1000;
}

void Lock_control::Restart_idle()
{
    if (Covered())
        return;
    if (Idle_ms() > 0 && lock::Folder_is_locked(Folder()))
        idle->start(Idle_ms());
    else
        idle->stop();
}

bool Lock_control::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
        if (idle->isActive())
            idle->start(Idle_ms());
        break;
    case QEvent::Resize:
        if (cover && watched == &form)
            cover->setGeometry(form.rect());
        for (const Covered_window& c : covered)
            if (c.window == watched && c.sheet)
                c.sheet->setGeometry(c.window->rect());
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void Lock_control::Lock_now()
{
    const QString folder = Folder();
    if (Covered() || form.Ended() || !lock::Folder_is_locked(folder))
        return;
    // Work under way (a conversion, a backup with its progress) or a
    // password already asked for: the lock waits for it to end. A question
    // or another window waiting for an answer is covered with the rest,
    // unanswered, and is there again as it was after the password.
    if (Work_under_way()) {
        idle->start(30 * 1000);
        return;
    }
    // Saved as when the program ends: nothing the user wrote stays only
    // in the window while the key is gone.
    form.Save_for_session();
    form.Suspend_saving(true);
    Cover();
    lock::Forget_keys();
    QString unused;
    QByteArray found = keyring.Available(&unused) ? keyring.Look_up(folder) : QByteArray();
    const bool kept = !found.isEmpty();
    found.fill('\0');
    const std::optional<lock::Diary_key> key =
        Ask_for_key(platform, &form, Password_window::Purpose::Idle, folder, keyring, kept);
    if (!key) {
        // 終了: the day was saved before the lock, and nothing more is
        // written without the key.
        Uncover();
        form.End_without_user();
        return;
    }
    Register_diary_key(folder, *key);
    form.Suspend_saving(false);
    Uncover();
    Restart_idle();
}

bool Lock_control::Work_under_way() const
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() &&
            (qobject_cast<Work_window*>(window) || qobject_cast<Password_window*>(window)))
            return true;
    return false;
}

namespace {

// A plain green sheet over the whole of window, above everything in it.
QWidget* New_cover(QWidget& window)
{
    auto* sheet = new QWidget(&window);
    sheet->setObjectName(QStringLiteral("Lock_cover"));
    Set_window_look(*sheet, look::Main_green);
    sheet->setAutoFillBackground(true);
    auto* label = new QLabel(QStringLiteral("日記に鍵がかかっています"), sheet);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    auto* column = new QVBoxLayout(sheet);
    column->addWidget(label);
    sheet->setGeometry(window.rect());
    sheet->raise();
    sheet->show();
    return sheet;
}

}  // namespace

void Lock_control::Cover()
{
    // The windows read beside the diary are hidden; the main window stays
    // where it is, its text covered. A window waiting for an answer is
    // covered where it is, not hidden: hiding would end its wait as if it
    // had been cancelled, and a question is never answered for the user.
    hidden.clear();
    covered.clear();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window == &form || !window->isVisible())
            continue;
        if (window->isModal()) {
            covered.push_back({window, New_cover(*window)});
            window->installEventFilter(this);
        } else {
            hidden.emplace_back(window);
            window->hide();
        }
    }
    cover = New_cover(form);
    form.installEventFilter(this);
}

void Lock_control::Uncover()
{
    form.removeEventFilter(this);
    cover->hide();
    cover->deleteLater();
    cover = nullptr;
    for (const Covered_window& c : covered) {
        if (c.window)
            c.window->removeEventFilter(this);
        if (c.sheet)
            c.sheet->deleteLater();
    }
    covered.clear();
    for (const QPointer<QWidget>& window : hidden)
        if (window)
            window->show();
    hidden.clear();
}
