#include "fuzz/fuzz_support.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void Fuzz_failure(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "\nFUZZ CHECK FAILED: %s\n  at %s:%d\n", what, file, line);
    std::fflush(stderr);
    std::abort();
}

namespace {

class Scratch {
public:
    Scratch()
    {
        QByteArray base = "/dev/shm";
        struct stat st {};
        if (::stat(base.constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            ::access(base.constData(), W_OK) != 0)
            base = QFile::encodeName(QDir::tempPath());
        QByteArray pattern = base + "/sorane-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = QFile::decodeName(pattern) + QLatin1Char('/');
    }
    ~Scratch() { QDir(path).removeRecursively(); }
    QString path;
};

}  // namespace

const QString& Scratch_folder()
{
    static const Scratch scratch;
    return scratch.path;
}

void Put_file(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        Fuzz_failure("could not create a fixture file", __FILE__, __LINE__);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fuzz_failure("could not write a fixture file", __FILE__, __LINE__);
        done += n;
    }
    ::close(fd);
}

QByteArray Get_file(const QString& path)
{
    QByteArray out;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fuzz_failure("could not open a written file", __FILE__, __LINE__);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fuzz_failure("could not read a written file", __FILE__, __LINE__);
        if (n == 0)
            break;
        out.append(buffer, n);
    }
    ::close(fd);
    return out;
}

bool Path_exists(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

void Remove_file(const QString& path)
{
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        Fuzz_failure("could not remove a file", __FILE__, __LINE__);
}

bool Has_duplicate_lead(const QByteArray& bytes)
{
    for (char x : bytes) {
        const auto b = static_cast<unsigned char>(x);
        if (b == 0x87 || b == 0xED || b == 0xEE || b == 0xFA)
            return true;
    }
    return false;
}
