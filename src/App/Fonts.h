// The fonts of the windows, by their Windows names. Where the system lacks them (Linux), near
// substitutes of similar width stand in, so that texts fit their fixed places.
#pragma once

#include <QFont>

// Tahoma at a character height in pixels; bold unless asked otherwise.
QFont TahomaFont(int pixelSize, bool bold = true);
// Segoe UI, regular, at a character height in pixels (the menu bar).
QFont SegoeUIFont(int pixelSize);
