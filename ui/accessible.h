#pragma once
// What a screen reader says for each control: its accessible name (what it
// is) and description (what it does), in Japanese, from a table per window
// keyed by the controls' object names.

#include <span>

class QWidget;

struct Accessible_text {
    const char* object_name;  // the window's own name stands for the window
    const char* name;         // UTF-8
    const char* description;  // UTF-8
};

// Gives the window and each of its children named in the table their
// accessible name and description. A name the table has and the window
// lacks is a fault of the table: it stops a debug build.
void Set_accessible_texts(QWidget& window, std::span<const Accessible_text> texts);

// Names what the window's own tables do not: a control that shows its words
// (a button, a check box, a label's buddy) is named by them already; any
// other control without a name gets its tool tip or the window's title with
// its kind, and a control with a tool tip is described by it. Call after
// the window's table.
void Name_the_rest(QWidget& window);

// The windows read beside the diary, by their object names: their controls'
// names and descriptions.
extern const Accessible_text Years_window_texts[5];
extern const Accessible_text Fulltext_window_texts[10];
extern const Accessible_text History_window_texts[7];
extern const Accessible_text Import_window_texts[9];
extern const Accessible_text Manual_window_texts[4];
