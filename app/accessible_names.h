#pragma once
// The main window's controls as a screen reader names them.

class QWidget;

// Gives the main window and its controls their Japanese accessible names
// and descriptions, and names the controls of every dialog as it is shown;
// call once its controls are built.
void Name_main_form_controls(QWidget& form);
