#pragma once

#include <QImage>
#include <QString>

namespace codecs {

// Opening and saving the image editor's picture: the reader and the writer are
// chosen from the file name (and, for saving, the save dialog's filter), the
// file is read whole, and every write goes through a QSaveFile, so a failed
// save leaves no new file and an existing file keeps its old content. Errors
// are thrown as CodecError with the text the user sees.
class PictureFiles {
public:
    // The save dialog's filter entries, 1-based as the dialog counts them.
    enum Filter {
        AllFiles = 1,
        Colours256Bmp = 2,
        AllColoursBmp = 3,
        GifFilter = 4,
        JpgFilter = 5
    };

    enum class Writer { None, FullColourBmp, Colours256Bmp, Gif, Jpeg, Png };

    // The writer for a name: by its extension (from the last "." of the file
    // name, lower-cased): ".bmp" is the full-colour BMP with filter 3 and the
    // 256-colour BMP with any other, ".gif" GIF, ".jpg" and ".jpeg" JPEG,
    // ".png" PNG; anything else none.
    static Writer writerFor(const QString &fileName, int filterIndex);

    // Reads a picture: names ending in ".jpg" (any case) as JPEG, in ".gif" as
    // GIF; otherwise by extension ".bmp", ".jpeg", ".png" and ".ico". Throws
    // "Cannot open file <name>" for a file that cannot be read, "Unknown
    // picture file extension (.<ext>)" for another extension, and the reader's
    // message for a damaged file.
    static QImage open(const QString &fileName);

    // Writes the picture with the writer writerFor() picks; throws for a name
    // no writer takes, "Cannot create file <name>" when the file cannot be
    // written, "Color table overflow" for a GIF of more than 256 colours
    // (before the file is created).
    static void save(const QImage &picture, const QString &fileName, int filterIndex);

    // The 256-colour BMP: the picture reduced to an optimised 256-entry palette
    // with error diffusion, written with 8 bits per pixel.
    static void ButtonOptmizedClick(const QImage &picture, const QString &fileName);
};

} // namespace codecs
