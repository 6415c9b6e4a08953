#include "diary/program_folder.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Program_folder Named_folder(const QByteArray& bytes)
{
    Program_folder out;
    out.bytes = bytes;
    const QString decoded = QFile::decodeName(out.bytes);
    // The name must come back as the same bytes, or the diary would read and
    // write somewhere else than beside the program.
    out.nameable = !decoded.isEmpty() && QFile::encodeName(decoded) == out.bytes;
    out.path = out.nameable ? Folder_with_slash(decoded) : QString();
    return out;
}

// A folder that cannot be used: its name kept for the message, no path.
Program_folder Refused_folder(const QByteArray& bytes)
{
    Program_folder out;
    out.bytes = bytes;
    return out;
}

bool Is_system_folder(const QByteArray& folder)
{
    for (const char* top : {"/usr", "/bin", "/sbin"}) {
        const QByteArray system(top);
        if (folder == system || folder.startsWith(system + '/'))
            return true;
    }
    return false;
}

bool Holds_diary(const QByteArray& folder)
{
    struct stat st {};
    return ::stat((folder + "/sorane.ini").constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QByteArray Absolute(const QByteArray& name, const QByteArray& working_folder)
{
    if (name.isEmpty() || name.startsWith('/'))
        return name;
    return working_folder + '/' + name;
}

}  // namespace

Program_folder Program_folder_of(const QByteArray& exe_path)
{
    char resolved[PATH_MAX];
    if (!::realpath(exe_path.constData(), resolved))
        return {};
    const QByteArray real(resolved);
    const qsizetype slash = real.lastIndexOf('/');
    if (slash < 0)
        return {};
    return Named_folder(slash == 0 ? QByteArray("/") : real.left(slash));
}

Diary_folder_choice Choose_diary_folder(const Diary_folder_inputs& inputs)
{
    const QByteArray option("--diary");
    for (qsizetype i = 0; i < inputs.arguments.size(); ++i) {
        const QByteArray& argument = inputs.arguments[i];
        if (argument == option) {
            const QByteArray named =
                i + 1 < inputs.arguments.size() ? inputs.arguments[i + 1] : QByteArray();
            return {Absolute(named, inputs.working_folder), Diary_folder_source::Argument};
        }
        if (argument.startsWith(option + '='))
            return {Absolute(argument.mid(option.size() + 1), inputs.working_folder),
                    Diary_folder_source::Argument};
    }
    if (!inputs.sorane_home.isEmpty())
        return {Absolute(inputs.sorane_home, inputs.working_folder),
                Diary_folder_source::Environment};
    const QByteArray& own = inputs.program.bytes;
    if (!own.isEmpty() && !Is_system_folder(own) &&
        (Holds_diary(own) || ::access(own.constData(), W_OK) == 0))
        return {own, Diary_folder_source::Program};
    if (inputs.home.isEmpty() || !inputs.home.startsWith('/'))
        return {{}, Diary_folder_source::Home};
    return {inputs.home + (inputs.home.endsWith('/') ? "sorane" : "/sorane"),
            Diary_folder_source::Home};
}

Diary_folder_inputs Diary_folder_inputs_of(int argc, const char* const* argv)
{
    Diary_folder_inputs inputs;
    for (int i = 1; i < argc; ++i)
        inputs.arguments.append(QByteArray(argv[i]));
    inputs.sorane_home = qgetenv("SORANE_HOME");
    inputs.home = qgetenv("HOME");
    char working[PATH_MAX];
    if (::getcwd(working, sizeof working))
        inputs.working_folder = QByteArray(working);
    inputs.program = Program_folder_of(QByteArrayLiteral("/proc/self/exe"));
    return inputs;
}

Program_folder Open_diary_folder(const QByteArray& bytes, Io_result& error)
{
    if (bytes.isEmpty())
        return {};
    // Each missing folder on the way is made, the user's alone: the last one
    // holds the diary, and nobody else has a use for the ones before it.
    for (qsizetype at = 1; at <= bytes.size(); ++at) {
        if (at < bytes.size() && bytes[at] != '/')
            continue;
        const QByteArray part = bytes.left(at);
        struct stat st {};
        if (::stat(part.constData(), &st) == 0)
            continue;
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            error = Io_result::Folder_failure(Io_step::Make_folder, errno, QFile::decodeName(part));
            return Refused_folder(bytes);
        }
    }
    char resolved[PATH_MAX];
    if (!::realpath(bytes.constData(), resolved)) {
        error = Io_result::Folder_failure(Io_step::Open, errno, QFile::decodeName(bytes));
        return Refused_folder(bytes);
    }
    struct stat st {};
    if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = Io_result::Folder_failure(Io_step::Not_a_folder, 0, QFile::decodeName(resolved));
        return Refused_folder(QByteArray(resolved));
    }
    return Named_folder(QByteArray(resolved));
}

QString Folder_with_slash(const QString& folder)
{
    if (folder.isEmpty())
        return folder;  // no folder: never taken for the root folder
    QString out = folder;
    while (out.size() > 1 && out.endsWith(QLatin1Char('/')))
        out.chop(1);
    if (!out.endsWith(QLatin1Char('/')))
        out += QLatin1Char('/');
    return out;
}

QString In_folder(const QString& folder, const QString& name)
{
    return Folder_with_slash(folder) + name;
}
