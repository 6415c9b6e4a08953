#pragma once
// A platform layer for tests: it records every call in order and answers
// message boxes and modal runs from a script. A message box that was not
// scripted, or one whose words differ from the script, is a failure; so is
// a scripted answer that was never used. It is also the clock, so one fake
// serves as both parts of the layer.

#include "platform/platform.h"
#include "support/fake_clock.h"

#include <QStringList>
#include <deque>
#include <functional>

class Fake_platform final : public Fake_clock, public Platform {
public:
    struct Expected_box {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
        Answer answer;
        std::function<void()> while_open;
    };

    // Script the next message box. while_open, if given, plays the time the
    // box is open (it may run an event loop) before the answer is given.
    void Expect_box(const QString& text, const QString& title, Icon icon, Buttons buttons,
                    Answer answer, std::function<void()> while_open = {});
    // Script the next modal run: the function plays the user's part and
    // returns the dialog's result code.
    void Expect_modal(std::function<int(QDialog&)> user);

    Answer Message_box(const QString& text, const QString& title, Icon icon,
                       Buttons buttons) override;
    void Beep() override;
    bool Open_with_default_program(const QString& path) override;
    std::unique_ptr<Busy_guard> Busy_pointer() override;
    void Process_events_once() override;
    int Run_modal(QDialog& dialog) override;
    QSizeF Screen_size_twips() override { return screen_twips; }
    // Counts the request and plays the input method's answer, if one is
    // set; none, as offscreen, by default.
    void Commit_input_method() override;

    // Everything the code did through the layer, in order, as short lines:
    // "box:<title>:<text>", "beep", "open:<path>", "busy+", "busy-",
    // "events", "modal:<objectName>".
    QStringList calls;
    // Faults seen: unscripted or mismatched boxes and modal runs.
    QStringList failures;

    QSizeF screen_twips{1920 * 15.0, 1080 * 15.0};
    bool open_succeeds = true;
    int busy_depth = 0;
    std::function<void()> input_method_answer;
    int input_method_commits = 0;

    // Empty when every scripted answer was used and nothing unexpected came.
    QStringList Problems() const;

private:
    std::deque<Expected_box> boxes;
    std::deque<std::function<int(QDialog&)>> modals;
};

// Fails the current test with every problem the fake saw.
#define VERIFY_PLATFORM_CLEAN(fake)                                                                \
    do {                                                                                           \
        const QStringList sorane_problems = (fake).Problems();                                     \
        QVERIFY2(sorane_problems.isEmpty(),                                                        \
                 qPrintable(sorane_problems.join(QStringLiteral("\n"))));                          \
    } while (false)
