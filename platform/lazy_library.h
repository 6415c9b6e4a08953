#pragma once
// The C libraries that only some of the program's work needs (SQLite for the
// full-text index, libarchive for backups, libsodium for a locked diary) are
// opened at their first call instead of before main, so that a start of the
// window or of a command pays for none of them until it uses them.
//
// Each library has one file (lazy_sqlite.cpp, lazy_archive.cpp,
// lazy_sodium.cpp) that defines every function the program calls with the
// header's own signature; the definition opens the library once (the first
// caller on any thread; the others wait for it) and calls on through the
// address found there. A library that cannot be opened, or that lacks one of
// the functions, is never opened again in that run: every call then fails
// the way the library itself reports a failure (an error code, a null
// object), with errno set to ELIBACC, so the program's own error paths tell
// the user; nothing is called through a missing address.

#include <cerrno>
#include <mutex>

class Lazy_library {
public:
    // names: the functions wanted; their addresses go to addresses[i].
    // Constant: a library is ready to open before any code runs.
    constexpr Lazy_library(const char* soname, const char* const* names, void** addresses,
                           int count)
        : soname_(soname), names_(names), addresses_(addresses), count_(count)
    {}
    Lazy_library(const Lazy_library&) = delete;
    Lazy_library& operator=(const Lazy_library&) = delete;

    // Opens the library at the first call; true when it and every function
    // were found.
    bool Loaded()
    {
        std::call_once(once, [this] { loaded = Load(); });
        return loaded;
    }
    const char* Soname() const { return soname_; }

private:
    bool Load();

    const char* soname_;
    const char* const* names_;
    void** addresses_;
    int count_;
    std::once_flag once;
    bool loaded = false;
};

// Sets errno to ELIBACC and returns value: what a call into a library that
// could not be opened gives back.
template <typename T>
T Library_missing(T value)
{
    errno = ELIBACC;
    return value;
}

// For tests only: libraries opened from now on are opened by opener (a
// null from it is a library that cannot be loaded) instead of dlopen. The
// program never sets it.
using Library_opener = void* (*)(const char* soname);
void Set_library_opener_for_tests(Library_opener opener);
