#pragma once

#include <QtGlobal>

#include <memory>

class QMimeData;

namespace platform {

// A copy of every format of `source` that is at most `limit` bytes; an image
// held as a picture (not as encoded bytes) is copied as a picture.
std::unique_ptr<QMimeData> copyMimeData(const QMimeData &source, qint64 limit);

} // namespace platform
