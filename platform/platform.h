#pragma once
// The thin layer between the windows and the desktop. Everything of the
// desktop that would make a test block, flake or depend on the real world
// goes through here: message boxes, the beep, opening a file with the
// desktop's program, the busy pointer, one pass of pending events, running
// a dialog modally, the screen size and the input method. The clock is the core part of the
// layer (clock.h). The real implementation lives in the UI library
// (platform_real.h); tests use a scripted fake.

#include "platform/app_title.h"

#include <QSizeF>
#include <QString>
#include <memory>

class QDialog;

class Platform {
public:
    enum class Icon {
        None,
        Information,
        Exclamation,
        Critical,
        Question
    };
    enum class Buttons {
        Ok,
        Ok_cancel,
        Yes_no,
        Yes_no_default_no,  // いいえ first in focus: a question whose はい cannot be undone
        Yes_no_cancel,
        Retry_cancel
    };
    enum class Answer {
        Ok,
        Cancel,
        Yes,
        No,
        Retry
    };

    // Restores the pointer when it goes out of scope.
    class Busy_guard {
    public:
        virtual ~Busy_guard() = default;
    };

    virtual ~Platform() = default;

    virtual Answer Message_box(const QString& text, const QString& title, Icon icon,
                               Buttons buttons) = 0;
    virtual void Beep() = 0;
    // Opens the file with the desktop's default program; false when the
    // desktop refused or has no program for files of its kind.
    virtual bool Open_with_default_program(const QString& path) = 0;
    [[nodiscard]] virtual std::unique_ptr<Busy_guard> Busy_pointer() = 0;
    virtual void Process_events_once() = 0;
    // Runs the dialog modally and returns its result code.
    virtual int Run_modal(QDialog& dialog) = 0;
    // Size of the primary screen in twips.
    virtual QSizeF Screen_size_twips() = 0;
    // Asks the desktop's input method to finish the text being composed in
    // the focused field and to forget it. It answers with input-method
    // events to that field, at once or never; some deliver the same commit
    // twice.
    virtual void Commit_input_method() = 0;
};
