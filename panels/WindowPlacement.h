#pragma once
#include <QRect>

class QWidget;

// Shows `window` at `rect` (screen pixels) above the other windows that stay on top. A
// rectangle without area hides the window: a window of size 0 x 0 shows nothing. Negative
// sizes (a screen of odd size) count as 0.
void ShowTopmostAt(QWidget& window, const QRect& rect);

// The auxiliary dialogs' look: the player's face at 9 points (12 pixels), black background,
// white text.
void StyleAsDialog(QWidget& window);
