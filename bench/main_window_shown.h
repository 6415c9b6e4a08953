#pragma once
// The diary's main window for an in-process benchmark: started on the
// program folder and shown as the program shows it, then given time until
// the window system has exposed it.

#include "app/main_form.h"

#include <QCoreApplication>
#include <QWindow>

// False when start-up failed.
inline bool Start_and_show(Main_form& form)
{
    if (!form.Form_Load())
        return false;
    form.Show_window();
    for (int i = 0; i < 50 && !(form.windowHandle() && form.windowHandle()->isExposed()); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return true;
}
