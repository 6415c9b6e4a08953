#pragma once
// A vertical scroll bar used as a spinner, the same in every window: the
// upper arrow (and the trough above the slider) raises the value, the highest
// value is drawn at the top, and the wheel turned up raises it too.

class QScrollBar;

void Make_spinner(QScrollBar* bar);
