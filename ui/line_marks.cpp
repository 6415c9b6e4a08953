#include "ui/line_marks.h"

#include "diary/line_diff.h"

#include <QPlainTextEdit>
#include <QTextBlock>

namespace {

const QColor Older_only(255, 200, 200);
const QColor Current_only(190, 240, 190);

void Mark_lines(QPlainTextEdit& edit, const QList<bool>& changed, const QColor& colour)
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextBlock block = edit.document()->firstBlock();
    for (qsizetype i = 0; i < changed.size() && block.isValid(); ++i, block = block.next()) {
        if (!changed[i])
            continue;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(block);
        mark.format.setBackground(colour);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks.append(mark);
    }
    edit.setExtraSelections(marks);
}

}  // namespace

void Mark_line_differences(QPlainTextEdit& older, const QString& older_text,
                           QPlainTextEdit& current, const QString& current_text)
{
    const Changed_lines changed = Mark_changed_lines(older_text.split(QLatin1Char('\n')),
                                                     current_text.split(QLatin1Char('\n')));
    Mark_lines(older, changed.in_old, Older_only);
    Mark_lines(current, changed.in_new, Current_only);
}
