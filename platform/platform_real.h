#pragma once
#include "platform/platform.h"

// The platform layer on the real desktop.
class Real_platform final : public Platform {
public:
    Answer Message_box(const QString& text, const QString& title, Icon icon,
                       Buttons buttons) override;
    void Beep() override;
    bool Open_with_default_program(const QString& path) override;
    std::unique_ptr<Busy_guard> Busy_pointer() override;
    void Process_events_once() override;
    int Run_modal(QDialog& dialog) override;
    QSizeF Screen_size_twips() override;
    void Commit_input_method() override;
};

// Whether the desktop has a program to open the file with: xdg-open is
// there, and xdg-mime names a default program for the file's kind (when
// xdg-mime is there to ask).
bool Desktop_has_program_for(const QString& path);
