#pragma once
// The window's side of "sorane --add" (diary/add_command.h), and the
// terminal's side of the hand-over: the text travels over the local
// connection of the program that holds the diary folder
// (app/single_instance.h), and that program alone writes it.

#include "diary/add_command.h"

#include <QString>

class QPlainTextEdit;

// Sends the request to the program listening at server_path and returns
// its answer. No_answer only when the request cannot have reached it (no
// connection, not all of it written); once it has, a missing answer is a
// failure that says the window must be looked at, so that the terminal
// never writes the day as well.
Add_reply Hand_over_to_window(const QString& server_path, const QByteArray& request);

// Shows message in a line of news over the foot of the diary panel's text,
// until the text is next edited or for a few seconds.
void Show_news(QPlainTextEdit& text_box, const QString& message);
