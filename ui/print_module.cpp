#include "ui/print_module.h"

#include "platform/module_load.h"

// Programs that link the printing code in (the tests) take it from
// themselves; the program itself loads the module.
#pragma weak sorane_print_calls

const Print_calls* Print_module(QString& failure)
{
    // Tried again at each print until it loads: a module put back while the
    // program runs is found.
    static const Print_calls* loaded = nullptr;
    if (loaded)
        return loaded;
    if (&sorane_print_calls != nullptr) {
        loaded = sorane_print_calls();
        return loaded;
    }
    // Loaded once and kept: its Qt Print Support stays mapped for the next
    // print.
    const QString path = Module_path(QStringLiteral("sorane-print.so"));
    QString reason;
    // Every call into Qt Print Support bound at once: a module that does not
    // fit the libraries on the machine is refused here, not at a later call.
    loaded =
        Module_calls<Print_calls>(path, "sorane_print_calls", Print_calls_version, true, reason);
    if (loaded)
        return loaded;
    failure = Module_failure_message(QStringLiteral("印刷"), QStringLiteral("印刷"), path, reason);
    return nullptr;
}
