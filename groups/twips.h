#pragma once
// Design sizes are in twips (1440 to the inch); this is the one place they become pixels.

class QWidget;

namespace zavek {

// At the logical DPI of the widget's screen (the primary screen when widget is null).
int twipsToPixels(int twips, const QWidget* widget);
int pixelsToTwips(int pixels, const QWidget* widget);

} // namespace zavek
