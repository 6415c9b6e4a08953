// The diary program: one main window on the program's own folder.

#include "app/end_signals.h"
#include "app/main_form.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"
#include "ui/look.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Install_japanese_qt_texts(app);
    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    if (!form.Form_Load())
        return 0;

    // Every way of ending goes through the form, which saves first.
    QObject::connect(&form, &Main_form::Program_ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    End_signals end_signals;
    QObject::connect(&end_signals, &End_signals::Received, &form, &Main_form::End_without_user);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.Save_for_session(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, &Main_form::End_without_user);

    form.Show_window();
    return app.exec();
}
