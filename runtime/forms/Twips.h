#pragma once

#include <QRect>
#include <QSize>

// Window and control geometry is designed in twips: 1440 per inch, so 15 per
// device-independent pixel at 96 dpi. Qt scales device-independent pixels for
// high-DPI screens itself.
namespace rt {

constexpr int kTwipsPerPixel = 15;

constexpr int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

constexpr int twips(int pixels) { return pixels * kTwipsPerPixel; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

inline QSize twipsSize(int width, int height) { return QSize(px(width), px(height)); }

}  // namespace rt
