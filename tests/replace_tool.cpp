// Runs one Replace_file or Make_folder call and reports its result, for the
// tests that run it under strace, in a mount namespace or with a shim.
//
//   replace_tool file <path> <hex bytes>
//   replace_tool fill <path> <count> <hex byte>   (count copies of one byte)
//   replace_tool folder <path>
//   replace_tool together <path> <hex bytes> <path> <hex bytes>
//       (Replace_together: both added, then committed; prints "<step>
//       <errno> <files in place>", the step of the first failure)
//
// Prints "<step> <errno>" on one line after the call (nothing is written
// before it, so the first write system call is the one on the temporary
// file) and exits 0 on success, 1 on failure, 2 on wrong arguments.

#include "store/safe_replace.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

const char* Step_name(Io_step step)
{
    switch (step) {
    case Io_step::None: return "None";
    case Io_step::Open: return "Open";
    case Io_step::Read: return "Read";
    case Io_step::Write: return "Write";
    case Io_step::Sync: return "Sync";
    case Io_step::Close: return "Close";
    case Io_step::Rename: return "Rename";
    case Io_step::Sync_folder: return "Sync_folder";
    case Io_step::Make_folder: return "Make_folder";
    case Io_step::Remove: return "Remove";
    case Io_step::Read_only: return "Read_only";
    case Io_step::Not_a_folder: return "Not_a_folder";
    case Io_step::Not_a_file: return "Not_a_file";
    case Io_step::Not_a_regular_file: return "Not_a_regular_file";
    case Io_step::Is_a_link: return "Is_a_link";
    case Io_step::Link_not_read: return "Link_not_read";
    case Io_step::Too_large: return "Too_large";
    case Io_step::Encode: return "Encode";
    case Io_step::Locked: return "Locked";
    case Io_step::Damaged_lock: return "Damaged_lock";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    Io_result result;
    if (mode == QLatin1String("file") && argc == 4) {
        const QByteArray bytes = QByteArray::fromHex(argv[3]);
        result = Replace_file(path, bytes);
    } else if (mode == QLatin1String("fill") && argc == 5) {
        const long count = std::strtol(argv[3], nullptr, 10);
        const QByteArray one = QByteArray::fromHex(argv[4]);
        if (count < 0 || one.size() != 1)
            return 2;
        const QByteArray bytes(qsizetype(count), one[0]);
        result = Replace_file(path, bytes);
    } else if (mode == QLatin1String("folder") && argc == 3) {
        result = Make_folder(path);
    } else if (mode == QLatin1String("together") && argc == 6) {
        Replace_together together;
        const Io_result first = together.Add(path, QByteArray::fromHex(argv[3]));
        const Io_result second =
            together.Add(QString::fromLocal8Bit(argv[4]), QByteArray::fromHex(argv[5]));
        const Replace_together::Outcome put = together.Commit();
        result = !first.Ok() ? first : !second.Ok() ? second : put.result;
        std::printf("%s %d %d\n", Step_name(result.step), result.error_number, put.in_place);
        std::fflush(stdout);
        return result.Ok() ? 0 : 1;
    } else {
        return 2;
    }
    std::printf("%s %d\n", Step_name(result.step), result.error_number);
    std::fflush(stdout);
    return result.Ok() ? 0 : 1;
}
