#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>
#include <QtGlobal>

class QIODevice;

namespace codecs {

// Writes one indexed frame as a GIF file ("GIF87a", no global colour table,
// one image at (0, 0) with its colour table as the local table, not
// interlaced, no extensions). The image data is run-length coded: runs of one
// index go out as codes that a standard LZW decoder expands into the runs
// without the encoder keeping a string table, so the output is a valid GIF
// that every decoder reads.
//
// Errors are thrown as CodecError: "Color not in color table" for a pixel not
// below the number of colours, the device's error text when a write fails,
// and a description for arguments no GIF can hold (a side over 65,535, more
// than 256 colours). An error can come after part of the file was written;
// callers write through a QSaveFile and do not commit it then.
class GifWriter {
public:
    // width × height pixels, one byte each (an index into colours), rows
    // bytesPerLine apart from the top; 1 to 256 colours. A frame with a side of
    // 0 writes the signature, the screen descriptor and the trailer only.
    static void write(QIODevice &device, int width, int height, const uchar *pixels,
                      qsizetype bytesPerLine, const QVector<QRgb> &colours);
    // The same for a Format_Indexed8 picture with its own colour table.
    static void write(QIODevice &device, const QImage &indexed8);

private:
    GifWriter(QIODevice &device, int colourCount);

    void writeHeader(int width, int height, const QVector<QRgb> &colours);
    void writeImageData(int width, int height, const uchar *pixels, qsizetype bytesPerLine);

    // The run-length coder.
    void Clear();
    void SendCode(int code);
    static qint64 RunCodeCost(qint64 count, qint64 limit);
    static qint64 IntegerSqrt(qint64 value);
    void FlushFromClear(qint64 count);
    void FlushClearOrRepeat(qint64 count);
    void FlushWithTable(qint64 count);
    void FlushRun(qint64 count);

    // Output: codes packed least significant bit first into data sub-blocks,
    // collected in a buffer that goes to the device in large writes.
    void putCode(int code);
    void putDataByte(uchar byte);
    void endImageData();
    void putBytes(const char *data, qsizetype size);
    void flushBuffer();

    QIODevice &m_device;
    QByteArray m_buffer;
    uchar m_block[255] = {};
    int m_blockSize = 0;
    quint64 m_bits = 0;
    int m_bitCount = 0;

    int m_colourCount;
    int m_bpp = 0;
    // Constants from the minimum code size m.
    int m_clearCode = 0;   // C = 2^m
    int m_endCode = 0;     // E = C + 1
    int m_baseCode = 0;    // B = C + 2
    int m_initialBits = 0; // m + 1
    int m_bumpInit = 0;    // C - 1
    int m_clearInit = 0;   // 9 for m = 2 and 3, C - 2 from m = 4
    int m_maxCodes = 0;    // 4095 - B

    int m_codeBits = 0;
    qint64 m_codeCount = 0;
    qint64 m_bumpAt = 0;
    qint64 m_clearAt = 0;
    bool m_justCleared = false;
    int m_runPixel = -1;
    int m_tablePixel = -1;
    qint64 m_tableMax = 0;
};

} // namespace codecs
