#include "imaging/codecs/PictureFiles.h"

#include "imaging/codecs/BmpReader.h"
#include "imaging/codecs/BmpWriter.h"
#include "imaging/codecs/CodecError.h"
#include "imaging/codecs/ColorReduction.h"
#include "imaging/codecs/GifFrame.h"
#include "imaging/codecs/GifReader.h"
#include "imaging/codecs/GifWriter.h"
#include "imaging/codecs/JpegCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <functional>

namespace codecs {

namespace {

// The extension from the last "." of the file name (not of the folders), with
// its dot, lower-cased; empty without one.
QString extensionOf(const QString &fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot).toLower();
}

QByteArray readWhole(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw CodecError(QStringLiteral("Cannot open file %1").arg(fileName));
    return file.readAll();
}

QImage readWithQt(const QString &fileName, const char *format)
{
    if (!QFileInfo(fileName).isFile())
        throw CodecError(QStringLiteral("Cannot open file %1").arg(fileName));
    QImageReader reader(fileName, format);
    const QImage image = reader.read();
    if (image.isNull())
        throw CodecError(
            QStringLiteral("Cannot read the picture %1: %2").arg(fileName, reader.errorString()));
    return image;
}

// Creates the file, lets write fill it, and commits; nothing replaces the
// file unless every step succeeded.
void writeFile(const QString &fileName, const std::function<void(QIODevice &)> &write)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw CodecError(QStringLiteral("Cannot create file %1").arg(fileName));
    write(file);
    if (!file.commit())
        throw CodecError(
            QStringLiteral("Cannot write file %1: %2").arg(fileName, file.errorString()));
}

} // namespace

PictureFiles::Writer PictureFiles::writerFor(const QString &fileName, int filterIndex)
{
    const QString extension = extensionOf(fileName);
    if (extension == QLatin1String(".bmp"))
        return filterIndex == AllColoursBmp ? Writer::FullColourBmp : Writer::Colours256Bmp;
    if (extension == QLatin1String(".gif"))
        return Writer::Gif;
    if (extension == QLatin1String(".jpg") || extension == QLatin1String(".jpeg"))
        return Writer::Jpeg;
    if (extension == QLatin1String(".png"))
        return Writer::Png;
    return Writer::None;
}

QImage PictureFiles::open(const QString &fileName)
{
    const QString last4 = fileName.right(4);
    if (last4.compare(QLatin1String(".jpg"), Qt::CaseInsensitive) == 0)
        return JpegCodec::read(readWhole(fileName));
    if (last4.compare(QLatin1String(".gif"), Qt::CaseInsensitive) == 0)
        return GifReader::read(readWhole(fileName));
    const QString extension = extensionOf(fileName);
    if (extension == QLatin1String(".bmp"))
        return BmpReader::read(readWhole(fileName));
    if (extension == QLatin1String(".jpeg"))
        return JpegCodec::read(readWhole(fileName));
    if (extension == QLatin1String(".png"))
        return readWithQt(fileName, "png");
    if (extension == QLatin1String(".ico"))
        return readWithQt(fileName, "ico");
    if (extension == QLatin1String(".wmf") || extension == QLatin1String(".emf"))
        throw CodecError(QStringLiteral("Quillet cannot show %1 pictures; it opens .bmp, .gif, "
                                        ".jpg, .jpeg, .png and .ico files")
                             .arg(extension));
    throw CodecError(QStringLiteral("Unknown picture file extension (.%1)").arg(extension.mid(1)));
}

void PictureFiles::save(const QImage &picture, const QString &fileName, int filterIndex)
{
    switch (writerFor(fileName, filterIndex)) {
    case Writer::FullColourBmp:
        writeFile(fileName, [&](QIODevice &device) { BmpWriter::write(device, picture); });
        return;
    case Writer::Colours256Bmp:
        ButtonOptmizedClick(picture, fileName);
        return;
    case Writer::Gif: {
        // The frame is made before the file exists, so an overflow leaves none.
        const QImage frame = GifFrame(picture);
        writeFile(fileName, [&](QIODevice &device) { GifWriter::write(device, frame); });
        return;
    }
    case Writer::Jpeg:
        writeFile(fileName, [&](QIODevice &device) { JpegCodec::write(device, picture, 90); });
        return;
    case Writer::Png:
        writeFile(fileName, [&](QIODevice &device) {
            QImageWriter writer(&device, "png");
            if (!writer.write(picture))
                throw CodecError(writer.errorString());
        });
        return;
    case Writer::None:
        break;
    }
    throw CodecError(QStringLiteral("Quillet cannot save pictures as \"%1\" files. Choose a "
                                    "name ending in .bmp, .gif, .jpg, .jpeg or .png.")
                         .arg(extensionOf(fileName).isEmpty() ? QStringLiteral("(no extension)")
                                                              : extensionOf(fileName)));
}

void PictureFiles::ButtonOptmizedClick(const QImage &picture, const QString &fileName)
{
    const QVector<QRgb> palette = BuildOptimizedPalette({picture}, 256, 8);
    const QImage reduced = RemapToPalette(picture, palette);
    writeFile(fileName, [&](QIODevice &device) { BmpWriter::write(device, reduced); });
}

} // namespace codecs
