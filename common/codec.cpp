#include "common/codec.h"

#include "common/failure.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDateTime>

#include <limits>

namespace zavek {

namespace {
constexpr int kFormatVersion = 1;

QCborValue encodeValue(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QCborValue(QCborValue::Null);
    switch (v.metaType().id()) {
    case QMetaType::Bool:
        return QCborValue(v.toBool());
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
        return QCborValue(v.toLongLong());
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        // CBOR integers here are signed 64-bit; a larger value keeps its digits as text.
        if (u <= static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return QCborValue(static_cast<qint64>(u));
        return QCborValue(QString::number(u));
    }
    case QMetaType::QDateTime:
        return QCborValue(v.toDateTime());
    case QMetaType::Double:
    case QMetaType::Float:
        return QCborValue(v.toDouble());
    case QMetaType::QByteArray:
        return QCborValue(v.toByteArray());
    default:
        return QCborValue(v.toString());
    }
}

QVariant decodeValue(const QCborValue& v) {
    switch (v.type()) {
    case QCborValue::Null:
    case QCborValue::Undefined:
        return QVariant();
    case QCborValue::False:
    case QCborValue::True:
        return QVariant(v.toBool());
    case QCborValue::Integer:
        return QVariant(v.toInteger());
    case QCborValue::Double:
        return QVariant(v.toDouble());
    case QCborValue::ByteArray:
        return QVariant(v.toByteArray());
    case QCborValue::String:
        return QVariant(v.toString());
    case QCborValue::DateTime:
        return QVariant(v.toDateTime());
    default:
        fail(codes::kMalformedMessage, QStringLiteral("A table value has an unsupported type."));
    }
}

[[noreturn]] void malformed(const char* what) {
    fail(codes::kMalformedMessage,
         QStringLiteral("The message could not be read: %1.").arg(QLatin1String(what)));
}

QString text(const QCborMap& map, const char* key) {
    const QCborValue v = map.value(QLatin1String(key));
    if (v.isUndefined())
        return QString();
    if (!v.isString())
        malformed(key);
    return v.toString();
}
} // namespace

QByteArray encodeMessage(const MessageData& m) {
    QCborMap map;
    map.insert(QLatin1String("format"), kFormatVersion);
    map.insert(QLatin1String("replyTo"), m.replyTo);
    map.insert(QLatin1String("clientVersion"), m.clientVersion);
    map.insert(QLatin1String("messageType"), m.messageType);
    map.insert(QLatin1String("sessionId"), m.sessionId);
    map.insert(QLatin1String("messageId"), m.messageId);
    map.insert(QLatin1String("errorText"), m.errorText);
    QCborArray criteria;
    for (const auto& c : m.criteria) {
        QCborMap cm;
        cm.insert(QLatin1String("system"), c.systemName);
        cm.insert(QLatin1String("field"), c.fieldName);
        cm.insert(QLatin1String("op"), c.op);
        cm.insert(QLatin1String("value"), c.value);
        criteria.append(cm);
    }
    map.insert(QLatin1String("criteria"), criteria);
    QCborArray tables;
    for (const auto& t : m.tables) {
        QCborMap tm;
        tm.insert(QLatin1String("name"), t.name);
        QCborArray fields;
        for (const auto& f : t.table.fields)
            fields.append(f);
        tm.insert(QLatin1String("fields"), fields);
        QCborArray rows;
        for (const auto& row : t.table.rows) {
            QCborArray r;
            for (const auto& v : row)
                r.append(encodeValue(v));
            rows.append(r);
        }
        tm.insert(QLatin1String("rows"), rows);
        tables.append(tm);
    }
    map.insert(QLatin1String("tables"), tables);
    return QCborValue(map).toCbor();
}

MessageData decodeMessage(const QByteArray& bytes) {
    QCborParserError error;
    const QCborValue root = QCborValue::fromCbor(bytes, &error);
    if (error.error != QCborError::NoError)
        fail(codes::kMalformedMessage,
             QStringLiteral("The message could not be read: %1.").arg(error.errorString()));
    if (!root.isMap())
        malformed("not a map");
    const QCborMap map = root.toMap();
    if (map.value(QLatin1String("format")).toInteger(-1) != kFormatVersion)
        malformed("unknown format version");
    MessageData m;
    m.replyTo = text(map, "replyTo");
    m.clientVersion = text(map, "clientVersion");
    const QCborValue type = map.value(QLatin1String("messageType"));
    if (!type.isInteger())
        malformed("messageType");
    m.messageType = static_cast<std::int32_t>(type.toInteger());
    m.sessionId = text(map, "sessionId");
    m.messageId = text(map, "messageId");
    m.errorText = text(map, "errorText");
    const QCborValue criteria = map.value(QLatin1String("criteria"));
    if (!criteria.isArray())
        malformed("criteria");
    for (const auto& c : criteria.toArray()) {
        if (!c.isMap())
            malformed("criteria entry");
        const QCborMap cm = c.toMap();
        m.criteria.push_back(
            Criteria{text(cm, "system"), text(cm, "field"), text(cm, "op"), text(cm, "value")});
    }
    const QCborValue tables = map.value(QLatin1String("tables"));
    if (!tables.isArray())
        malformed("tables");
    for (const auto& t : tables.toArray()) {
        if (!t.isMap())
            malformed("table");
        const QCborMap tm = t.toMap();
        NamedTable named;
        named.name = text(tm, "name");
        const QCborValue fields = tm.value(QLatin1String("fields"));
        const QCborValue rows = tm.value(QLatin1String("rows"));
        if (!fields.isArray() || !rows.isArray())
            malformed("table layout");
        for (const auto& f : fields.toArray()) {
            if (!f.isString())
                malformed("field name");
            named.table.fields << f.toString();
        }
        for (const auto& r : rows.toArray()) {
            if (!r.isArray() || r.toArray().size() != named.table.fields.size())
                malformed("row width");
            std::vector<QVariant> row;
            for (const auto& v : r.toArray())
                row.push_back(decodeValue(v));
            named.table.rows.push_back(std::move(row));
        }
        m.tables.push_back(std::move(named));
    }
    return m;
}

} // namespace zavek
