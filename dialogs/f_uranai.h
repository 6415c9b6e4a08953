#pragma once
// The fortune window: asks the user to wait, draws tomorrow's fortune when it
// is first activated, fills in its four result lines one by one and shows
// tomorrow's date in its title bar. Its one button closes it.

#include "ui/placement.h"

#include <QDialog>

class Clock;
class QLabel;
class QPushButton;
class Random_generator;

class F_uranai final : public QDialog {
    Q_OBJECT

public:
    // The drawing uses the session's generator, which lives for the run,
    // and the length of the diary text, which cannot change while this
    // modal window is open.
    F_uranai(const Dialog_host& main_host, Clock& time_source, Random_generator& drawing,
             qint32 diary_length);
    ~F_uranai() override;

    // The first activation: the captions, then the drawing with each report
    // shown as it comes. Runs from the event loop right after the window was
    // first activated. The window may be closed, or even destroyed, while
    // the drawing handles events; the drawing then stops and nothing of the
    // window is touched again.
    void Form_Activate();

    // OK or the close box was used.
    bool Closed() const { return closed; }

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton* Command1 = nullptr;

    // A label takes its text and sizes itself to it, keeping its left and
    // top, so a long value grows to the right.
    static void Set_caption(QLabel* label, const QString& text);

protected:
    bool event(QEvent* event) override;
    void done(int result) override;

private:
    void Form_Load();

    Dialog_host host;
    Clock& clock;
    Random_generator& generator;
    qint32 text_length;
    bool activated = false;
    bool closed = false;
};
