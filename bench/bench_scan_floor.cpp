// The floor of the command-line search without an index: a plain scan of
// the day files, as a grep of their bytes does it, and nothing more.
//
//   bench_scan_floor [--by-name] <program folder> <word>
//
// Every day file (yyyy/mmdd.txt of every year folder) is read whole and its
// bytes searched for the word's code page 932 bytes; for each file holding
// them, "yyyy/mmdd.txt<TAB>the line of the first place found" is printed,
// the line as the file's own bytes, in the order of the years. The years are
// read on every core, as the search reads them, and printed in their order.
// No text is decoded, folded or checked for a character's start, and memos
// are not read: the program does more than this, never less.
//
// A file is opened by its whole path, its size asked, and read, as grep
// reads it. With --by-name it is opened by its name in its year folder and
// read in one call into room to spare, without its size, as the program's
// own scan reads a file its folder lists as a regular file: the floor of
// that way of reading.

#include "platform/cp932.h"

#include <QString>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool All_digits(const char* text, int count)
{
    for (int i = 0; i < count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// The names in the folder that pass the test, sorted.
template <typename Keep>
std::vector<std::string> Names_in(const std::string& folder, Keep keep)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (keep(entry->d_name))
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool by_name = false;

// The whole file, by its path or (by_name) by its name in the folder.
bool Read_whole(const std::string& folder, int folder_fd, const std::string& name,
                std::string& bytes)
{
    const int fd = by_name ? ::openat(folder_fd, name.c_str(), O_RDONLY | O_CLOEXEC)
                           : ::open((folder + '/' + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool read = false;
    if (by_name) {
        static thread_local char room[128 * 1024];
        const ssize_t n = ::read(fd, room, sizeof room);
        if (n >= 0 && size_t(n) < sizeof room) {
            bytes.assign(room, size_t(n));
            read = true;
        }
    } else if (struct stat st{}; ::fstat(fd, &st) == 0) {
        bytes.resize(size_t(st.st_size));
        size_t got = 0;
        for (ssize_t n;
             got < bytes.size() && (n = ::read(fd, bytes.data() + got, bytes.size() - got)) > 0;)
            got += size_t(n);
        bytes.resize(got);
        read = true;
    }
    ::close(fd);
    return read;
}

// The lines printed for one year folder.
std::string Scan_year(const std::string& diary, const std::string& year, const std::string& word)
{
    std::string out;
    std::string bytes;
    const std::string folder = diary + '/' + year;
    const int folder_fd = by_name ? ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    for (const std::string& name : Names_in(folder, [](const char* n) {
             return std::strlen(n) == 8 && All_digits(n, 4) && std::strcmp(n + 4, ".txt") == 0;
         })) {
        if (Read_whole(folder, folder_fd, name, bytes)) {
            const void* found = ::memmem(bytes.data(), bytes.size(), word.data(), word.size());
            if (found) {
                const size_t at = size_t(static_cast<const char*>(found) - bytes.data());
                const size_t start = bytes.rfind('\n', at);
                const size_t line = start == std::string::npos ? 0 : start + 1;
                size_t end = bytes.find('\n', at);
                if (end == std::string::npos)
                    end = bytes.size();
                out += year;
                out += '/';
                out += name;
                out += '\t';
                out.append(bytes, line, end - line);
                out += '\n';
            }
        }
    }
    if (folder_fd >= 0)
        ::close(folder_fd);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    by_name = argc == 4 && std::strcmp(argv[1], "--by-name") == 0;
    if (by_name) {
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_scan_floor [--by-name] <program folder> <word>\n");
        return 2;
    }
    const std::string diary = argv[1];
    const QByteArray encoded = cp932::Encode(QString::fromUtf8(argv[2])).bytes;
    const std::string word(encoded.constData(), size_t(encoded.size()));
    const std::vector<std::string> years =
        Names_in(diary, [](const char* n) { return std::strlen(n) == 4 && All_digits(n, 4); });
    // Years taken in turn by every core; each printed once it and those
    // before it are done.
    std::vector<std::string> lines(years.size());
    std::vector<std::atomic<bool>> done(years.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < years.size();) {
            lines[i] = Scan_year(diary, years[i], word);
            done[i].store(true, std::memory_order_release);
            done[i].notify_one();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        threads.emplace_back(work);
    work();
    bool found = false;
    for (size_t i = 0; i < years.size(); ++i) {
        done[i].wait(false, std::memory_order_acquire);
        found = found || !lines[i].empty();
        std::fwrite(lines[i].data(), 1, lines[i].size(), stdout);
    }
    for (std::thread& thread : threads)
        thread.join();
    return found ? 0 : 1;
}
