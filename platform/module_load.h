#pragma once
// The program's own modules (the window, printing) are shared libraries
// loaded when first needed, so that a command without a window maps
// neither Qt Widgets nor Qt Print Support. They sit beside the program, or,
// installed for every user, in the program's library folder. Each exports
// one function that returns its table of calls, the table's first member
// being the version of the build that made it.

#include <QString>

// Where the module named file_name ("sorane-print.so") is looked for.
QString Module_path(const QString& file_name);

// What the user is told when a module cannot be loaded: part names the
// module ("印刷"), action what could not be done ("印刷"), then the file and
// the reason.
QString Module_failure_message(const QString& part, const QString& action, const QString& path,
                               const QString& reason);

// The module at path opened, its symbols its own; every call into Qt bound
// at once when bind_now, else at its first use. nullptr and reason (in
// Japanese, or in the loader's words) when it cannot be.
void* Open_module(const QString& path, bool bind_now, QString& reason);
void* Module_symbol(void* module, const char* name, QString& reason);
void Close_module(void* module);

// The module's table of calls, the module kept loaded for the rest of the
// run; nullptr when it cannot be loaded, has no entry or comes from another
// build (another version), reason then telling why. A module refused is let
// go, so that a later call finds one put back meanwhile.
template <typename Calls>
const Calls* Module_calls(const QString& path, const char* entry, int version, bool bind_now,
                          QString& reason)
{
    void* module = Open_module(path, bind_now, reason);
    if (!module)
        return nullptr;
    auto function = reinterpret_cast<const Calls* (*)()>(Module_symbol(module, entry, reason));
    const Calls* calls = function ? function() : nullptr;
    if (calls && calls->version == version)
        return calls;
    if (function)
        reason = QStringLiteral("版が違います（%1）").arg(calls ? calls->version : 0);
    Close_module(module);
    return nullptr;
}
