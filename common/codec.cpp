#include "common/codec.h"

#include "common/failure.h"

#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zavek {

namespace {
constexpr int kFormatVersion = 1;

// Written straight to the stream: a message of many rows is not first built as a value tree.
void writeValue(QCborStreamWriter& w, const QVariant& v) {
    if (!v.isValid() || v.isNull()) {
        w.append(nullptr);
        return;
    }
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        w.append(v.toBool());
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
        w.append(v.toLongLong());
        return;
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        // CBOR integers here are signed 64-bit; a larger value keeps its digits as text.
        if (u <= static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            w.append(static_cast<qint64>(u));
        else
            w.append(QString::number(u));
        return;
    }
    case QMetaType::QDateTime:
        QCborValue(v.toDateTime()).toCbor(w);
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        w.append(v.toDouble());
        return;
    case QMetaType::QByteArray:
        w.append(v.toByteArray());
        return;
    default:
        w.append(v.toString());
        return;
    }
}

void writeText(QCborStreamWriter& w, QLatin1StringView key, const QString& value) {
    w.append(key);
    w.append(value);
}

} // namespace

QByteArray encodeMessage(const MessageData& m) {
    QByteArray bytes;
    QCborStreamWriter w(&bytes);
    w.startMap(9);
    w.append(QLatin1StringView("format"));
    w.append(qint64(kFormatVersion));
    writeText(w, QLatin1StringView("replyTo"), m.replyTo);
    writeText(w, QLatin1StringView("clientVersion"), m.clientVersion);
    w.append(QLatin1StringView("messageType"));
    w.append(qint64(m.messageType));
    writeText(w, QLatin1StringView("sessionId"), m.sessionId);
    writeText(w, QLatin1StringView("messageId"), m.messageId);
    writeText(w, QLatin1StringView("errorText"), m.errorText);
    w.append(QLatin1StringView("criteria"));
    w.startArray(quint64(m.criteria.size()));
    for (const auto& c : m.criteria) {
        w.startMap(4);
        writeText(w, QLatin1StringView("system"), c.systemName);
        writeText(w, QLatin1StringView("field"), c.fieldName);
        writeText(w, QLatin1StringView("op"), c.op);
        writeText(w, QLatin1StringView("value"), c.value);
        w.endMap();
    }
    w.endArray();
    w.append(QLatin1StringView("tables"));
    w.startArray(quint64(m.tables.size()));
    for (const auto& t : m.tables) {
        w.startMap(3);
        writeText(w, QLatin1StringView("name"), t.name);
        w.append(QLatin1StringView("fields"));
        w.startArray(quint64(t.table.fields.size()));
        for (const auto& f : t.table.fields)
            w.append(f);
        w.endArray();
        w.append(QLatin1StringView("rows"));
        w.startArray(quint64(t.table.rows.size()));
        for (const auto& row : t.table.rows) {
            w.startArray(quint64(row.size()));
            for (const auto& v : row)
                writeValue(w, v);
            w.endArray();
        }
        w.endArray();
        w.endMap();
    }
    w.endArray();
    w.endMap();
    return bytes;
}

namespace {

using namespace codec_limits;

// One pass over the bytes; every container, string and count is checked against the limits
// before anything is kept.
class Decoder {
public:
    explicit Decoder(const QByteArray& bytes, MessageData& out)
        : reader_(bytes), size_(bytes.size()), m_(out) {}

    // addressOnly: read the top-level texts and skip everything else.
    void readMessage(bool addressOnly) {
        if (!reader_.isMap())
            malformed(QStringLiteral("it is not a map"));
        bool formatSeen = false;
        bool typeSeen = false;
        bool criteriaSeen = false;
        bool tablesSeen = false;
        forEachEntry(1, [&](const QString& key) {
            if (key == u"format") {
                formatSeen = true;
                if (!reader_.isUnsignedInteger() || reader_.toUnsignedInteger() != kFormatVersion)
                    malformed(QStringLiteral("unknown format version"));
                advance();
            } else if (key == u"replyTo") {
                m_.replyTo = text(key);
            } else if (key == u"clientVersion") {
                m_.clientVersion = text(key);
            } else if (key == u"messageType") {
                if (!reader_.isInteger())
                    malformed(QStringLiteral("messageType is not an integer"));
                const qint64 type = integer();
                if (type < std::numeric_limits<std::int32_t>::min() ||
                    type > std::numeric_limits<std::int32_t>::max())
                    malformed(QStringLiteral("messageType is out of range"));
                m_.messageType = static_cast<std::int32_t>(type);
                typeSeen = true;
            } else if (key == u"sessionId") {
                m_.sessionId = text(key);
            } else if (key == u"messageId") {
                m_.messageId = text(key);
            } else if (key == u"errorText") {
                m_.errorText = text(key);
            } else if (key == u"criteria") {
                criteriaSeen = true;
                addressOnly ? skip(2) : readCriteria();
            } else if (key == u"tables") {
                tablesSeen = true;
                addressOnly ? skip(2) : readTables();
            } else {
                skip(2);
            }
        });
        if (!formatSeen)
            malformed(QStringLiteral("unknown format version"));
        if (!typeSeen)
            malformed(QStringLiteral("messageType is missing"));
        if (!addressOnly && (!criteriaSeen || !tablesSeen))
            malformed(QStringLiteral("%1 is missing").arg(criteriaSeen ? "tables" : "criteria"));
        if (!addressOnly && reader_.currentOffset() != size_)
            malformed(QStringLiteral("bytes follow the message"));
    }

private:
    [[noreturn]] static void malformed(const QString& what) {
        fail(codes::kMalformedMessage,
             QStringLiteral("The message could not be read: %1.").arg(what));
    }

    void check() {
        if (reader_.lastError() != QCborError::NoError)
            malformed(reader_.lastError().toString());
    }

    void advance() {
        reader_.next();
        check();
    }

    qint64 integer() {
        qint64 value = 0;
        if (reader_.isUnsignedInteger()) {
            if (reader_.toUnsignedInteger() > quint64(std::numeric_limits<qint64>::max()))
                malformed(QStringLiteral("an integer is out of range"));
            value = static_cast<qint64>(reader_.toUnsignedInteger());
        } else {
            const quint64 n = quint64(reader_.toNegativeInteger()) - 1;
            if (n > quint64(std::numeric_limits<qint64>::max()))
                malformed(QStringLiteral("an integer is out of range"));
            value = -1 - static_cast<qint64>(n);
        }
        advance();
        return value;
    }

    // Calls entry(key) with the reader on each value of the map; the key must be a text.
    template <typename Entry> void forEachEntry(int depth, Entry entry) {
        enter(depth);
        std::vector<QString> keys;
        while (reader_.hasNext()) {
            if (static_cast<qsizetype>(keys.size()) >= kMaxMapEntries)
                malformed(QStringLiteral("a map has more than %1 entries").arg(kMaxMapEntries));
            if (!reader_.isString())
                malformed(QStringLiteral("a map key is not a text"));
            const QString key = readText(QStringLiteral("a map key"));
            if (std::find(keys.begin(), keys.end(), key) != keys.end())
                malformed(QStringLiteral("the key \"%1\" appears twice").arg(key.left(40)));
            keys.push_back(key);
            if (!reader_.hasNext())
                malformed(QStringLiteral("the map ends after the key \"%1\"").arg(key.left(40)));
            entry(key);
        }
        leave();
    }

    template <typename Element>
    void forEachElement(int depth, qsizetype limit, const QString& what, Element element) {
        if (!reader_.isArray())
            malformed(QStringLiteral("%1 is not an array").arg(what));
        enter(depth);
        qsizetype count = 0;
        while (reader_.hasNext()) {
            if (++count > limit)
                malformed(QStringLiteral("%1 has more than %2 entries").arg(what).arg(limit));
            element();
        }
        leave();
    }

    void enter(int depth) {
        if (depth > kMaxDepth)
            malformed(QStringLiteral("it is nested more than %1 levels deep").arg(kMaxDepth));
        if (!reader_.enterContainer())
            check();
        check();
    }

    void leave() {
        check();
        if (!reader_.leaveContainer())
            check();
        check();
    }

    template <typename Chunk, typename Read> Chunk readChunks(const QString& what, Read read) {
        Chunk all;
        qsizetype total = 0;
        for (;;) {
            const qsizetype next = reader_.currentStringChunkSize();
            check();
            if (next > kMaxStringBytes - total)
                malformed(
                    QStringLiteral("%1 is longer than %2 bytes").arg(what).arg(kMaxStringBytes));
            auto r = read();
            if (r.status == QCborStreamReader::Error)
                check();
            if (r.status != QCborStreamReader::Ok)
                break;
            total += next < 0 ? 0 : next;
            all += r.data;
        }
        check();
        return all;
    }

    QString readText(const QString& what) {
        return readChunks<QString>(what, [&] { return reader_.readString(); });
    }

    QByteArray readBytes(const QString& what) {
        return readChunks<QByteArray>(what, [&] { return reader_.readByteArray(); });
    }

    QString text(const QString& key) {
        if (!reader_.isString())
            malformed(key);
        return readText(key);
    }

    // Skips one value of any kind, within the same limits.
    void skip(int depth) {
        if (depth > kMaxDepth)
            malformed(QStringLiteral("it is nested more than %1 levels deep").arg(kMaxDepth));
        if (reader_.isArray()) {
            forEachElement(depth, std::numeric_limits<qsizetype>::max(), QStringLiteral("a value"),
                           [&] { skip(depth + 1); });
        } else if (reader_.isMap()) {
            forEachEntry(depth, [&](const QString&) { skip(depth + 1); });
        } else if (reader_.isTag()) {
            advance();
            skip(depth + 1);
        } else if (reader_.isString()) {
            readText(QStringLiteral("a text"));
        } else if (reader_.isByteArray()) {
            readBytes(QStringLiteral("a byte string"));
        } else if (reader_.isValid()) {
            advance();
        } else {
            check();
            malformed(QStringLiteral("it ends early"));
        }
    }

    void readCriteria() {
        forEachElement(2, kMaxCriteria, QStringLiteral("criteria"), [&] {
            if (!reader_.isMap())
                malformed(QStringLiteral("criteria entry"));
            Criteria c;
            forEachEntry(3, [&](const QString& key) {
                if (key == u"system")
                    c.systemName = text(key);
                else if (key == u"field")
                    c.fieldName = text(key);
                else if (key == u"op")
                    c.op = text(key);
                else if (key == u"value")
                    c.value = text(key);
                else
                    skip(4);
            });
            m_.criteria.push_back(std::move(c));
        });
    }

    void readTables() {
        forEachElement(2, kMaxTables, QStringLiteral("tables"), [&] {
            if (!reader_.isMap())
                malformed(QStringLiteral("table"));
            NamedTable named;
            bool fieldsSeen = false;
            bool rowsSeen = false;
            forEachEntry(3, [&](const QString& key) {
                if (key == u"name") {
                    named.name = text(key);
                } else if (key == u"fields") {
                    fieldsSeen = true;
                    forEachElement(4, kMaxFields, QStringLiteral("fields"), [&] {
                        if (!reader_.isString())
                            malformed(QStringLiteral("field name"));
                        named.table.fields << readText(QStringLiteral("a field name"));
                    });
                } else if (key == u"rows") {
                    rowsSeen = true;
                    forEachElement(4, kMaxRows, QStringLiteral("rows"), [&] {
                        std::vector<QVariant> row;
                        forEachElement(5, kMaxFields, QStringLiteral("a row"), [&] {
                            if (++cells_ > kMaxCells)
                                malformed(QStringLiteral("the tables hold more than %1 values")
                                              .arg(kMaxCells));
                            row.push_back(cell(6));
                        });
                        named.table.rows.push_back(std::move(row));
                    });
                } else {
                    skip(4);
                }
            });
            if (!fieldsSeen || !rowsSeen)
                malformed(QStringLiteral("table layout"));
            for (const auto& row : named.table.rows)
                if (static_cast<qsizetype>(row.size()) != named.table.fields.size())
                    malformed(QStringLiteral("row width"));
            m_.tables.push_back(std::move(named));
        });
    }

    QVariant cell(int depth) {
        if (reader_.isNull() || reader_.isUndefined()) {
            advance();
            return QVariant();
        }
        if (reader_.isBool()) {
            const bool b = reader_.toBool();
            advance();
            return QVariant(b);
        }
        if (reader_.isUnsignedInteger() &&
            reader_.toUnsignedInteger() > quint64(std::numeric_limits<qint64>::max())) {
            const qulonglong u = reader_.toUnsignedInteger();
            advance();
            return QVariant(u);
        }
        if (reader_.isInteger())
            return QVariant(integer());
        if (reader_.isFloat16() || reader_.isFloat() || reader_.isDouble()) {
            const double d = reader_.isFloat16() ? double(float(reader_.toFloat16()))
                             : reader_.isFloat() ? double(reader_.toFloat())
                                                 : reader_.toDouble();
            advance();
            return QVariant(d);
        }
        if (reader_.isString())
            return QVariant(readText(QStringLiteral("a table value")));
        if (reader_.isByteArray())
            return QVariant(readBytes(QStringLiteral("a table value")));
        if (reader_.isTag())
            return dateTime(depth);
        check();
        malformed(QStringLiteral("a table value has an unsupported type"));
    }

    QVariant dateTime(int depth) {
        const QCborTag tag = reader_.toTag();
        if (tag != QCborKnownTags::DateTimeString && tag != QCborKnownTags::UnixTime_t)
            malformed(QStringLiteral("a table value has the unsupported tag %1").arg(quint64(tag)));
        advance();
        if (depth + 1 > kMaxDepth)
            malformed(QStringLiteral("it is nested more than %1 levels deep").arg(kMaxDepth));
        QDateTime when;
        if (tag == QCborKnownTags::DateTimeString && reader_.isString()) {
            when = QDateTime::fromString(readText(QStringLiteral("a date")), Qt::ISODateWithMs);
        } else if (tag == QCborKnownTags::UnixTime_t && reader_.isInteger()) {
            const qint64 seconds = integer();
            if (seconds > -kMaxEpochSeconds && seconds < kMaxEpochSeconds)
                when = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
        } else if (tag == QCborKnownTags::UnixTime_t &&
                   (reader_.isFloat16() || reader_.isFloat() || reader_.isDouble())) {
            const double seconds = reader_.isFloat16() ? double(float(reader_.toFloat16()))
                                   : reader_.isFloat() ? double(reader_.toFloat())
                                                       : reader_.toDouble();
            advance();
            if (std::isfinite(seconds) && std::abs(seconds) < double(kMaxEpochSeconds))
                when =
                    QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000)), Qt::UTC);
        }
        if (!when.isValid())
            malformed(QStringLiteral("a date and time is not valid"));
        return QVariant(when);
    }

    // Years beyond ±100,000 are not dates anyone stores.
    static constexpr qint64 kMaxEpochSeconds = 3'000'000'000'000LL;

    QCborStreamReader reader_;
    qint64 size_;
    MessageData& m_;
    qsizetype cells_ = 0;
};

} // namespace

MessageData decodeMessage(const QByteArray& bytes, MessageData* readSoFar) {
    MessageData m;
    try {
        if (bytes.size() > kMaxMessageBytes) {
            // Too big to keep, but its sender may still be told so.
            MessageData address;
            if (readSoFar) {
                attempt([&] { Decoder(bytes, address).readMessage(true); });
                *readSoFar = address;
            }
            fail(codes::kMalformedMessage,
                 QStringLiteral("The message could not be read: it is larger than %1 MiB.")
                     .arg(kMaxMessageBytes / (1024 * 1024)));
        }
        Decoder(bytes, m).readMessage(false);
    } catch (const Failure&) {
        if (readSoFar && bytes.size() <= kMaxMessageBytes)
            *readSoFar = std::move(m);
        throw;
    }
    return m;
}

} // namespace zavek
