// Qt's image plugin lookup, answered for PNG by QtGui's own PNG reader, so
// that the program never loads the image plugins (libjpeg with one of them):
// every picture from the user's folders is decoded in the decoder, the
// program's own pictures and thumbnails from the shared cache are PNG or BMP.
// Qt would still load every plugin, to ask each whether it reads PNG, when a
// widget opens one of Qt's own PNG icons by name (the menu bar does, for its
// extension button): claimed by this plugin under the name "png", such a
// request goes nowhere else. Only the program imports it (program/main.cpp).
#include <QImageIOPlugin>
#include <QImageReader>
#include <QtEndian>

namespace {

thread_local bool reading = false;  // true while QtGui's own reader is asked, which must not come back here

class PngHandler final : public QImageIOHandler
{
public:
    bool canRead() const override
    {
        if (!device() || device()->peek(8) != QByteArrayView("\x89PNG\r\n\x1A\n", 8))
            return false;
        setFormat("png");
        return true;
    }

    bool read(QImage *image) override
    {
        reading = true;
        QImageReader reader(device(), "png");
        reader.setAutoDetectImageFormat(false);  // QtGui's PNG reader and nothing else
        *image = reader.read();
        reading = false;
        return !image->isNull();
    }

    bool supportsOption(ImageOption option) const override { return option == Size; }

    QVariant option(ImageOption option) const override
    {
        const QByteArray head = device() ? device()->peek(24) : QByteArray();  // the signature and the header's sides
        if (option != Size || head.size() < 24 || !canRead())
            return QVariant();
        return QSize(qFromBigEndian<qint32>(head.constData() + 16), qFromBigEndian<qint32>(head.constData() + 20));
    }
};

class PngPlugin final : public QImageIOPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "PngPlugin.json")

public:
    Capabilities capabilities(QIODevice *, const QByteArray &format) const override
    {
        return format == "png" && !reading ? CanRead : Capabilities();
    }

    QImageIOHandler *create(QIODevice *device, const QByteArray &format) const override
    {
        auto *handler = new PngHandler;
        handler->setDevice(device);
        handler->setFormat(format);
        return handler;
    }
};

}  // namespace

#include "PngPlugin.moc"
