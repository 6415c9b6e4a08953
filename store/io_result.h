#pragma once
// What a store operation reports: success, or the file that failed, the step
// that failed and why. Only the windows turn this into words for the user.

#include <QString>

enum class Io_step {
    None,
    Open,  // opening or creating a file
    Read,
    Write,
    Sync,  // flushing the file's data to the disk
    Close,
    Rename,       // putting the new file in place of the old
    Sync_folder,  // making the folder entry durable
    Make_folder,
    Remove,
    Read_only,           // the file may not be changed
    Not_a_folder,        // a file stands where a folder should be
    Not_a_file,          // a folder stands where a file should be
    Not_a_regular_file,  // a pipe, a device or a socket stands where a file should be
    Is_a_link,           // a symbolic link stands where a file is to be replaced
    Link_not_read,       // a symbolic link stands where a file is to be read
    Too_large,           // a file far larger than any diary file: File_size_limit
    Encode,              // text that code page 932 cannot hold
    Locked,              // a sealed file of a locked diary, and no key to open it
    Damaged_lock,        // a sealed file that does not open: cut, changed or of another key
};

// The most the store reads of one file, in bytes. A day of a diary is a few
// kilobytes; a file beyond this is not one of the diary's and is not read
// into memory (a link to an endless device ends here too).
inline constexpr long long File_size_limit = 64ll * 1024 * 1024;

struct Io_result {
    Io_step step = Io_step::None;
    int error_number = 0;         // errno of the failed call, 0 when none applies
    QString path;                 // the file or folder concerned
    bool path_is_folder = false;  // path names a folder, not a file

    bool Ok() const { return step == Io_step::None; }
    static Io_result Success() { return {}; }
    static Io_result Failure(Io_step step, int error_number, const QString& path)
    {
        Io_result r;
        r.step = step;
        r.error_number = error_number;
        r.path = path;
        return r;
    }
    static Io_result Folder_failure(Io_step step, int error_number, const QString& path)
    {
        Io_result r = Failure(step, error_number, path);
        r.path_is_folder = true;
        return r;
    }
};
