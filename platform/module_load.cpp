#include "platform/module_load.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>

QString Module_path(const QString& file_name)
{
#ifdef SORANE_MODULE_DIR
    // Installed for every user: in the library folder, never beside the
    // program in the command path's folder.
    return QStringLiteral(SORANE_MODULE_DIR "/") + file_name;
#else
    // Beside the program itself, wherever it was started from; the link
    // is read rather than asking QCoreApplication, which the window's
    // start has not made yet.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path() +
           QLatin1Char('/') + file_name;
#endif
}

QString Module_failure_message(const QString& part, const QString& action, const QString& path,
                               const QString& reason)
{
    return QStringLiteral("%1の部品を読み込めなかったため、%2できません。\n%3\n%4\n"
                          "ソラネを入れ直してから、もう一度お試しください。日記はそのままです。")
        .arg(part, action, QDir::toNativeSeparators(path), reason);
}

void* Open_module(const QString& path, bool bind_now, QString& reason)
{
    if (!QFileInfo::exists(path)) {
        reason = QStringLiteral("ファイルがありません。");
        return nullptr;
    }
    void* module =
        dlopen(QFile::encodeName(path).constData(), (bind_now ? RTLD_NOW : RTLD_LAZY) | RTLD_LOCAL);
    if (!module)
        reason = QString::fromLocal8Bit(dlerror());
    return module;
}

void* Module_symbol(void* module, const char* name, QString& reason)
{
    void* address = dlsym(module, name);
    if (!address)
        reason = QString::fromLocal8Bit(dlerror());
    return address;
}

void Close_module(void* module) { dlclose(module); }
