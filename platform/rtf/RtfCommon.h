#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringDecoder>
#include <QtGlobal>

#include <memory>

// Units and character sets shared by the RTF reader and writer.
namespace platform::rtf {

constexpr double kTwipsPerPoint = 20.0;
// Lengths inside a QTextDocument (indents, margins) are pixels at 96 dpi; the
// layout scales them to the paint device it lays out for.
constexpr double kPixelsPerPoint = 96.0 / 72.0;

inline double twipsToPixels(int twips)
{
    return twips / kTwipsPerPoint * kPixelsPerPoint;
}
inline int pixelsToTwips(double pixels)
{
    return qRound(pixels / kPixelsPerPoint * kTwipsPerPoint);
}

// Indentation Qt gives a list of indent 1 (40 px); RTF has the list's indent in \li.
constexpr int kListIndentTwips = 600;
// Where the bullet sits, relative to the text, in the RTF written for a list item.
constexpr int kBulletHangTwips = 300;

// The character of a Windows-1252 byte.
char16_t decodeCp1252(unsigned char byte);
// The byte of `c` in Windows-1252, or -1 when the code page has no such character.
int encodeCp1252(char16_t c);
// Code page of an RTF \fcharset value; 0 when the font uses the document's code page.
int codePageForCharset(int charset);

// Decodes bytes of a Windows code page. Windows-1252 and Latin-1 are built in;
// other code pages use Qt's converters when it has them, else Windows-1252.
class CodePageDecoder {
public:
    QString decode(const QByteArray &bytes, int codePage);
    // The same into `out`, whose buffer is reused for the built-in code pages.
    void decode(const QByteArray &bytes, int codePage, QString &out);

private:
    QHash<int, std::shared_ptr<QStringDecoder>> m_decoders;
};

} // namespace platform::rtf
