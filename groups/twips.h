#pragma once
// Design sizes are in twips (1440 to the inch); this is the one place they become pixels.

class QPaintDevice;

namespace zavek {

// Lefts and widths follow the horizontal DPI, tops and heights the vertical one.
enum class Axis { Horizontal, Vertical };

// At the logical DPI of the device (a widget: its screen's; the primary screen when null).
int twipsToPixels(int twips, Axis axis, const QPaintDevice* device);

} // namespace zavek
