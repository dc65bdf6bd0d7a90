#pragma once
// Small routines every window shares.
class QWidget;
class QPushButton;

namespace about {

// A push button with a flat, static edge instead of the raised one.
void FlatButtonStyle(QPushButton *button);
// Every push button of the form, and nothing else.
void FlattenButtons(QWidget *form);
// Keeps the window above the other windows.
void MakeTopmost(QWidget *form);
// Redraws the whole client area.
void RepaintControl(QWidget *control);
// Centres the window on its screen by its client size (the frame is not counted).
void centreByClientSize(QWidget *form);
// Small caption bar and no task-bar button.
void applyToolWindowStyle(QWidget *form);
// What every dialog does when it loads: tool-window style, centred, and (unless told not to) flat buttons.
void prepareDialog(QWidget *dialog, bool flattenButtons = true);

} // namespace about
