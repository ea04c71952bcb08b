#pragma once

#include <QImage>
#include <QSize>

namespace rt {

// A loaded picture. Every load gives a picture with a handle of its own; the
// empty picture (no file) has handle 0, which is how a free slot is told apart.
class Picture
{
public:
    Picture() = default;  // the empty picture
    Picture(QImage image, QSize fileSize);

    quint64 handle() const { return handle_; }
    bool isEmpty() const { return handle_ == 0; }
    const QImage &image() const { return image_; }
    // The picture's own size in the file; the image may hold a smaller decode.
    QSize fileSize() const { return fileSize_; }

private:
    quint64 handle_ = 0;
    QImage image_;
    QSize fileSize_;
};

// One of the program's own pictures, compiled in (":/art/..."): a PNG or a
// BMP, read by QtGui's own readers as its name says. Qt's image plugins are
// never asked, so none is ever loaded into the program's process: every
// picture that is not the program's own is decoded in the decoder.
QImage builtInImage(const QString &path);

}  // namespace rt
