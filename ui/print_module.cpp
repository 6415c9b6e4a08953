#include "ui/print_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

// Programs that link the printing code in (the tests) take it from
// themselves; the program itself loads the module.
#pragma weak sorane_print_calls

namespace {

QString Module_path()
{
#ifdef SORANE_PRINT_MODULE_DIR
    // Installed for every user: in the library folder, never beside the
    // program in the command path's folder.
    return QStringLiteral(SORANE_PRINT_MODULE_DIR "/sorane-print.so");
#else
    return QCoreApplication::applicationDirPath() + QStringLiteral("/sorane-print.so");
#endif
}

}  // namespace

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
    const QString path = Module_path();
    const auto failed = [&path, &failure](const QString& reason) {
        failure =
            QStringLiteral("印刷の部品を読み込めなかったため、印刷できません。\n%1\n%2\n"
                           "ソラネを入れ直してから、もう一度お試しください。日記はそのままです。")
                .arg(QDir::toNativeSeparators(path), reason);
        return nullptr;
    };
    if (!QFileInfo::exists(path))
        return failed(QStringLiteral("ファイルがありません。"));
    QLibrary module(path);
    module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    auto entry = reinterpret_cast<const Print_calls* (*)()>(module.resolve("sorane_print_calls"));
    const Print_calls* calls = entry ? entry() : nullptr;
    if (calls && calls->version == Print_calls_version) {
        loaded = calls;
        return loaded;
    }
    const QString reason =
        !entry ? module.errorString()
               : QStringLiteral("版が違います（%1）").arg(calls ? calls->version : 0);
    if (module.isLoaded())
        module.unload();
    return failed(reason);
}
