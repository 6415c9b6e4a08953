// Preloaded into replace_tool to make every write() short: at most
// SORANE_SHORT_WRITE bytes are written per call, as a pipe, a signal or a
// nearly full disk may do. The bytes that are written are real, so the file
// shows whether the caller continued at the right place.

#include <cstdlib>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" ssize_t write(int fd, const void* buf, size_t count)
{
    static const long limit = [] {
        const char* value = std::getenv("SORANE_SHORT_WRITE");
        return value ? std::atol(value) : 0L;
    }();
    if (limit > 0 && count > size_t(limit))
        count = size_t(limit);
    return ::syscall(SYS_write, fd, buf, count);
}
