#include "MimeCopy.h"

#include <QImage>
#include <QMimeData>

namespace platform {

std::unique_ptr<QMimeData> copyMimeData(const QMimeData &source, qint64 limit)
{
    auto copy = std::make_unique<QMimeData>();
    for (const QString &format : source.formats()) {
        if (format == QLatin1String("application/x-qt-image")) {
            copy->setImageData(source.imageData());
            continue;
        }
        const QByteArray data = source.data(format);
        if (data.size() <= limit)
            copy->setData(format, data);
    }
    return copy;
}

} // namespace platform
