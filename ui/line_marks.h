// The lines two texts do not share, marked on the two text boxes that show
// them: この日の履歴 and ほかの版 mark them alike.
#pragma once

#include <QString>

class QPlainTextEdit;

// Marks the lines of older_text that current_text lacks in red on older, and
// the lines of current_text that older_text lacks in green on current; each
// box shows its text, one block per line.
void Mark_line_differences(QPlainTextEdit& older, const QString& older_text,
                           QPlainTextEdit& current, const QString& current_text);
