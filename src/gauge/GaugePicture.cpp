#include "GaugePicture.h"

#include "LevelonComponent.h"

#include <QBuffer>
#include <QDataStream>
#include <QIcon>
#include <QPixmap>

namespace levelon {

namespace {
constexpr quint32 kMagic = 0x4C56504Bu;  // marks the stored form
constexpr int kIconExtent = 32;          // size an icon is taken at
}  // namespace

QByteArray GaugePicture::toBytes() const
{
    if (isNone())
        return {};
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    out << kMagic << qint16(type) << png;
    return bytes;
}

bool GaugePicture::fromBytes(const QByteArray& bytes, GaugePicture& picture)
{
    if (bytes.isEmpty()) {
        picture = {};
        return true;
    }
    QDataStream in(bytes);
    quint32 magic = 0;
    qint16 type = 0;
    QByteArray png;
    in >> magic >> type >> png;
    if (in.status() != QDataStream::Ok || magic != kMagic || type < 0 || type > qint16(PictureType::EnhancedMetafile))
        return false;
    GaugePicture result;
    result.type = PictureType(type);
    if (!png.isEmpty() && !result.image.loadFromData(png, "PNG"))
        return false;
    picture = result;
    return true;
}

int pictureFromVariant(const QVariant& value, GaugePicture& picture)
{
    if (!value.isValid() || value.isNull()) {
        picture = {};
        return NoError;
    }
    switch (value.typeId()) {
    // An empty image or icon is no picture, as an empty picture file is.
    case QMetaType::QImage: {
        const QImage image = value.value<QImage>();
        picture = image.isNull() ? GaugePicture{} : GaugePicture{PictureType::Bitmap, image};
        return NoError;
    }
    case QMetaType::QPixmap: {
        const QPixmap pixmap = value.value<QPixmap>();
        picture = pixmap.isNull() ? GaugePicture{} : GaugePicture{PictureType::Bitmap, pixmap.toImage()};
        return NoError;
    }
    case QMetaType::QIcon: {
        const QIcon icon = value.value<QIcon>();
        picture = icon.isNull() ? GaugePicture{}
                                : GaugePicture{PictureType::Icon, icon.pixmap(kIconExtent, kIconExtent).toImage()};
        return NoError;
    }
    case QMetaType::QByteArray:
        return GaugePicture::fromBytes(value.toByteArray(), picture) ? NoError : ErrTypeMismatch;
    default: return ErrTypeMismatch;
    }
}

QVariant pictureToVariant(const GaugePicture& picture)
{
    switch (picture.type) {
    case PictureType::None: return {};
    case PictureType::Bitmap: return picture.image;
    case PictureType::Icon: return QIcon(QPixmap::fromImage(picture.image));
    default: return picture.toBytes();
    }
}

}  // namespace levelon
