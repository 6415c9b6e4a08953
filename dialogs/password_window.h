#pragma once
// The windows that open a locked diary: the password (at start, when the
// diary locked itself after a while without use, and again before the lock
// is taken off), and the recovery key with a new password when the password
// is lost. A check takes about half a second (the key is derived from the
// password on purpose slowly): it runs off the window's thread while the
// window says it is checking, and nothing can be changed meanwhile. A wrong
// password is told in the window, which stays open for another try.

#include "platform/background_job.h"

#include <QDialog>
#include <functional>
#include <initializer_list>
#include <utility>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// What a check found: the diary opened, the password (or recovery key) was
// not the right one, or the check itself failed (a key file that cannot be
// read or written), told in failure.
struct Key_check {
    enum class Outcome {
        Opened,
        Wrong,
        Failed
    };
    Outcome outcome = Outcome::Failed;
    QString failure;
};

// Pieces the lock's windows are made of.
// A field that shows dots for what is typed, about 30 characters wide.
QLineEdit* Secret_field(QWidget* parent, const char* name);
// A button that Enter does not press unless it is made the default.
QPushButton* Dialog_button(QWidget* parent, const char* name, const QString& caption);
// Each caption's label (the field its buddy) beside its field, from row on;
// gives the row after them.
int Add_field_rows(QGridLayout& grid, int row,
                   std::initializer_list<std::pair<QString, QLineEdit*>> rows);
// The buttons at the right end of the row (at_left, when given, at its left
// end), across both columns; the window keeps the size its contents ask.
void Add_button_row(QGridLayout& grid, int row, std::initializer_list<QPushButton*> at_right,
                    QPushButton* at_left = nullptr);

// The password's words of a check's outcome, shown in the window.
QString Wrong_password_text();
QString Wrong_recovery_key_text();

class Password_window : public QDialog {
    Q_OBJECT

public:
    enum class Purpose {
        Start,   // the program starts on a locked diary
        Idle,    // the diary locked itself; キャンセル ends the program
        Unlock,  // the lock is to be taken off: the password once more
    };
    // The result code of the window when 「回復キーを使う…」 was chosen.
    static constexpr int Use_recovery_key = 2;
    using Checker = std::function<Key_check(const QByteArray& password_utf8)>;
    // The desktop's keyring as the window offers it: whether a tick can
    // store the password there, why not when it cannot, and the tick's first
    // state.
    struct Keyring_offer {
        bool available = false;
        QString why_not;
        bool ticked = false;
    };

    Password_window(QWidget* parent, Purpose purpose, const QString& folder, Checker checker,
                    const Keyring_offer& keyring);

    // After the window was accepted: the password that opened the diary,
    // and whether the user wants the keyring to keep it.
    QByteArray Password() const { return opened_with; }
    bool Remember() const;

    void Ok_Click();
    bool Checking() const { return job.Running(); }

    QLabel* Intro = nullptr;
    QLineEdit* Password_field = nullptr;
    QCheckBox* Remember_tick = nullptr;
    QLabel* Status = nullptr;
    QProgressBar* Working = nullptr;
    QPushButton* Recovery = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;

public slots:
    void reject() override;

private:
    void Checked(const Key_check& result, const QByteArray& password);
    void Set_checking(bool checking);

    Checker check;
    Purpose purpose_shown;
    bool keyring_offered = false;
    QByteArray opened_with;
    Background_job<Key_check> job;
};

class Recovery_window : public QDialog {
    Q_OBJECT

public:
    // Opens the diary with the recovery key (or, to change the password,
    // with the password now) and puts the new password in the key file:
    // both in one check. The first field holds the recovery key or the
    // password now.
    using Checker =
        std::function<Key_check(const QString& first_field, const QByteArray& new_password_utf8)>;
    enum class Opened_by {
        Recovery_key,  // the password was lost
        Password,      // 設定 → パスワードを変える…
    };

    Recovery_window(QWidget* parent, Checker checker,
                    Opened_by opened_by = Opened_by::Recovery_key);

    // The new password, once the window was accepted.
    QByteArray Password() const { return opened_with; }

    void Ok_Click();
    bool Checking() const { return job.Running(); }

    QLineEdit* Recovery_field = nullptr;
    QLineEdit* New_password = nullptr;
    QLineEdit* New_password_again = nullptr;
    QLabel* Status = nullptr;
    QProgressBar* Working = nullptr;
    QPushButton* Ok = nullptr;
    QPushButton* Cancel = nullptr;

public slots:
    void reject() override;

private:
    void Set_checking(bool checking);

    Checker check;
    Opened_by by;
    QByteArray opened_with;
    Background_job<Key_check> job;
};

// What is wrong with a new password typed twice, in words for the user, or
// empty when it can be used: at least 8 characters, the same both times.
QString New_password_problem(const QString& password, const QString& again);
