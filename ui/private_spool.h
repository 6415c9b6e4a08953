#pragma once
// A print of what is secret (while a locked diary is open, or a recovery
// key) to a printer spools its pages (the
// PDF that the print engine writes for CUPS, then removes) into the user's
// runtime folder, which is held in memory (tmpfs) and closed to others,
// rather than into the temporary folder on disk. For the time of one print.

#include <QByteArray>

class Private_spool {
public:
    // private_print: a print to a printer of something secret (a locked
    // diary's days, a recovery key); otherwise nothing changes.
    explicit Private_spool(bool private_print);
    ~Private_spool();
    Private_spool(const Private_spool&) = delete;
    Private_spool& operator=(const Private_spool&) = delete;

private:
    bool set = false;
    bool had = false;
    QByteArray old;
};
