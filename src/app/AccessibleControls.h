#pragma once
// How the window's controls present themselves to assistive technology where
// Qt's own choice misleads: the send button as a button that stays on, the
// progress bar without actions. Install before the first control is made: an
// accessible, once made, is kept for the control's life.

void installAccessibleControls();
