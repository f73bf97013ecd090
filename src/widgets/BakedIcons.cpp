#include "widgets/BakedIcons.h"

#include <QImage>
#include <QPixmap>

QIcon BakedIcons::icon(QLatin1StringView name)
{
    QIcon result;
    for (int scale : {1, 2}) {
        const Image *image = find(name, scale);
        if (!image)
            continue;
        // The pixels live in the program's read-only data, so no copy and no decoding.
        const QImage pixels(image->pixels, image->size, image->size, image->size * 4,
                            QImage::Format_ARGB32_Premultiplied);
        QPixmap pixmap = QPixmap::fromImage(pixels);
        pixmap.setDevicePixelRatio(scale);
        result.addPixmap(pixmap);
    }
    return result;
}
