#include "server/frame.h"

#include <QtEndian>

namespace zavek::net {

QByteArray frame(const QByteArray& message) {
    QByteArray out(4, Qt::Uninitialized);
    qToBigEndian(static_cast<quint32>(message.size()), out.data());
    out.append(message);
    return out;
}

FrameReader::Next FrameReader::next(QByteArray& message) {
    if (buffer_.size() < 4)
        return Next::NeedMore;
    const quint32 length = qFromBigEndian<quint32>(buffer_.constData());
    if (static_cast<qint64>(length) > static_cast<qint64>(limit_))
        return Next::TooLarge;
    const qsizetype total = 4 + static_cast<qsizetype>(length);
    if (buffer_.size() < total)
        return Next::NeedMore;
    message = buffer_.mid(4, length);
    buffer_.remove(0, total);
    return Next::Message;
}

} // namespace zavek::net
