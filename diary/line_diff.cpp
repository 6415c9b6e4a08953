#include "diary/line_diff.h"

#include <algorithm>
#include <vector>

namespace {

// The most cells the table between the equal ends may have.
constexpr qsizetype Table_limit = 4 * 1024 * 1024;

}  // namespace

Changed_lines Mark_changed_lines(const QStringList& old_lines, const QStringList& new_lines)
{
    const qsizetype n = old_lines.size();
    const qsizetype m = new_lines.size();
    Changed_lines out{QList<bool>(n, true), QList<bool>(m, true)};
    qsizetype head = 0;
    while (head < n && head < m && old_lines[head] == new_lines[head]) {
        out.in_old[head] = false;
        out.in_new[head] = false;
        ++head;
    }
    qsizetype tail = 0;
    while (tail < n - head && tail < m - head &&
           old_lines[n - 1 - tail] == new_lines[m - 1 - tail]) {
        out.in_old[n - 1 - tail] = false;
        out.in_new[m - 1 - tail] = false;
        ++tail;
    }
    const qsizetype rows = n - head - tail;
    const qsizetype cols = m - head - tail;
    if (rows == 0 || cols == 0 || (rows + 1) * (cols + 1) > Table_limit)
        return out;
    // length[i][j]: the longest common subsequence of the old lines from i
    // and the new lines from j (of the middle part).
    std::vector<int> length(size_t((rows + 1) * (cols + 1)), 0);
    auto at = [cols, &length](qsizetype i, qsizetype j) -> int& {
        return length[size_t(i * (cols + 1) + j)];
    };
    for (qsizetype i = rows - 1; i >= 0; --i) {
        for (qsizetype j = cols - 1; j >= 0; --j) {
            at(i, j) = old_lines[head + i] == new_lines[head + j]
                           ? at(i + 1, j + 1) + 1
                           : std::max(at(i + 1, j), at(i, j + 1));
        }
    }
    for (qsizetype i = 0, j = 0; i < rows && j < cols;) {
        if (old_lines[head + i] == new_lines[head + j]) {
            out.in_old[head + i++] = false;
            out.in_new[head + j++] = false;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ++i;
        } else {
            ++j;
        }
    }
    return out;
}
