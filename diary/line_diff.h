#pragma once
// Which lines of two texts differ: the lines outside a longest common
// subsequence of whole lines, for the side-by-side view of a day's versions.

#include <QList>
#include <QStringList>

struct Changed_lines {
    QList<bool> in_old;  // one per line of the old text: not in the other
    QList<bool> in_new;  // one per line of the new text: not in the other
};

// Lines equal at both ends are matched first; what lies between is matched
// by a longest common subsequence while its table stays small (a few
// million cells), and counts as changed throughout beyond that.
Changed_lines Mark_changed_lines(const QStringList& old_lines, const QStringList& new_lines);
