#pragma once

#include <QWidget>

#include <memory>

namespace tw {

// A window laid out as the main window's toolbar and view switcher are, with a dialog-style
// panel, its information bar, active labels and the batch progress bar below: the themed controls
// together, for a screenshot.
std::unique_ptr<QWidget> buildControlsDemo();

// Puts some controls into their pointer and focus states (a hovered tool button, a speed button
// fading in, a focused tool button, a hovered label) with the same events the pointer would send.
void stageControlsDemo(QWidget& demo);

}  // namespace tw
