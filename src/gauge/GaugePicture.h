#pragma once
// A picture as the controls accept it: an image with the kind it was made as
// (bitmap or icon). The kind matters because the background accepts only
// bitmaps and the mouse icon only icons.
//
// In property calls a picture travels as a QVariant: an invalid variant is no
// picture, a QImage or QPixmap a bitmap, a QIcon an icon, and a QByteArray the
// stored form written by toBytes() (any kind).

#include <QImage>
#include <QVariant>

namespace levelon {

enum class PictureType : qint16
{
    None = 0,
    Bitmap = 1,
    Metafile = 2,
    Icon = 3,
    EnhancedMetafile = 4
};

struct GaugePicture
{
    PictureType type = PictureType::None;
    QImage image;

    bool isNone() const { return type == PictureType::None; }
    bool operator==(const GaugePicture& other) const { return type == other.type && image == other.image; }

    // Stored form: the type, then the image as PNG.
    QByteArray toBytes() const;
    static bool fromBytes(const QByteArray& bytes, GaugePicture& picture);
};

// Error of the variant conversion: NoError or ErrTypeMismatch.
int pictureFromVariant(const QVariant& value, GaugePicture& picture);
// A bitmap as QImage, an icon as QIcon, others in the stored form, none as an
// invalid variant.
QVariant pictureToVariant(const GaugePicture& picture);

}  // namespace levelon
