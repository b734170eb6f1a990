#include "common/codec.h"
#include "common/failure.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace zavek;

namespace {

MessageData sample() {
    MessageData m;
    m.replyTo = QStringLiteral("DOC-1");
    m.clientVersion = QStringLiteral("1.12");
    m.messageType = 3;
    m.sessionId = QStringLiteral("S-42");
    m.messageId = QStringLiteral("0b9c2a7e-1111-4222-8333-444455556666");
    m.errorText = QStringLiteral("Refused: Ødegård already holds 山田's agency 🛡");
    m.criteria.push_back(Criteria{QStringLiteral("ZAVEK"), QStringLiteral("INSP_ID"),
                                  QStringLiteral("="), QStringLiteral("Zoë-7")});
    TableData t;
    t.fields << QStringLiteral("TEXT") << QStringLiteral("NUMBER") << QStringLiteral("BIG")
             << QStringLiteral("REAL") << QStringLiteral("FLAG") << QStringLiteral("BYTES")
             << QStringLiteral("WHEN") << QStringLiteral("NOTHING") << QStringLiteral("EMPTY");
    t.rows.push_back({QVariant(QStringLiteral("Ärger über 東京")), QVariant(-7),
                      QVariant(qlonglong(1) << 40), QVariant(2.5), QVariant(true),
                      QVariant(QByteArray("\x00\x01\xff", 3)),
                      QVariant(QDateTime(QDate(2026, 12, 6), QTime(14, 30, 5, 120), Qt::UTC)),
                      QVariant(), QVariant(QString(""))});
    t.rows.push_back({QVariant(QString()), QVariant(0), QVariant(qlonglong(-1)), QVariant(-0.125),
                      QVariant(false), QVariant(QByteArray()), QVariant(), QVariant(),
                      QVariant(QStringLiteral(" "))});
    m.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), t});
    m.tables.push_back(NamedTable{QStringLiteral("SETUP"), TableData{}});
    return m;
}

QCborMap sampleMap() {
    return QCborValue::fromCbor(encodeMessage(sample())).toMap();
}

std::uint32_t decodeFailure(const QByteArray& bytes) {
    const auto failure = attempt([&] { decodeMessage(bytes); });
    return failure ? failure->code() : 0u;
}

QCborMap withFirstTable(QCborMap map, const QCborMap& table) {
    QCborArray tables = map.value(QLatin1String("tables")).toArray();
    tables[0] = table;
    map[QLatin1String("tables")] = tables;
    return map;
}

} // namespace

TEST(CodecTest, RoundTripKeepsEveryFieldAndValue) {
    const MessageData original = sample();
    const MessageData decoded = decodeMessage(encodeMessage(original));
    EXPECT_EQ(decoded, original);
    const auto& row = decoded.tables[0].table.rows[0];
    EXPECT_EQ(row[0].toString(), QStringLiteral("Ärger über 東京"));
    EXPECT_EQ(row[1].toLongLong(), -7);
    EXPECT_EQ(row[2].toLongLong(), qlonglong(1) << 40);
    EXPECT_DOUBLE_EQ(row[3].toDouble(), 2.5);
    EXPECT_EQ(row[4].metaType().id(), QMetaType::Bool);
    EXPECT_EQ(row[5].toByteArray(), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(row[6].toDateTime(), QDateTime(QDate(2026, 12, 6), QTime(14, 30, 5, 120), Qt::UTC));
    EXPECT_EQ(decoded.errorText, original.errorText);
}

TEST(CodecTest, NullStaysApartFromEmptyText) {
    const MessageData decoded = decodeMessage(encodeMessage(sample()));
    const auto& row = decoded.tables[0].table.rows[0];
    EXPECT_FALSE(row[7].isValid());
    ASSERT_TRUE(row[8].isValid());
    EXPECT_EQ(row[8].metaType().id(), QMetaType::QString);
    EXPECT_EQ(row[8].toString(), QString());
}

TEST(CodecTest, EmptyTablesAndEmptyMessagesRoundTrip) {
    MessageData m;
    m.messageId = QStringLiteral("x");
    TableData fieldsOnly;
    fieldsOnly.fields << QStringLiteral("CODE");
    m.tables.push_back(NamedTable{QStringLiteral("VRD_GROUP"), fieldsOnly});
    m.tables.push_back(NamedTable{QString(), TableData{}});
    EXPECT_EQ(decodeMessage(encodeMessage(m)), m);
    EXPECT_EQ(decodeMessage(encodeMessage(MessageData{})), MessageData{});
}

TEST(CodecTest, UnsignedValueBeyondSignedRangeKeepsItsDigits) {
    MessageData m;
    TableData t;
    t.fields << QStringLiteral("N");
    t.rows.push_back({QVariant(std::numeric_limits<qulonglong>::max())});
    m.tables.push_back(NamedTable{QStringLiteral("T"), t});
    const MessageData decoded = decodeMessage(encodeMessage(m));
    EXPECT_EQ(decoded.tables[0].table.rows[0][0].toString(),
              QString::number(std::numeric_limits<qulonglong>::max()));
}

TEST(CodecTest, EveryTruncationIsMalformed) {
    const QByteArray bytes = encodeMessage(sample());
    for (qsizetype n = 0; n < bytes.size(); ++n)
        ASSERT_EQ(decodeFailure(bytes.left(n)), codes::kMalformedMessage) << "prefix " << n;
}

// Each misshapen message is refused, and the refusal names what was wrong.
TEST(CodecTest, MisshapenMessagesAreRefusedSayingWhat) {
    const QCborMap base = sampleMap();
    const QCborMap table = base.value(QLatin1String("tables")).toArray().at(0).toMap();
    auto with = [&](const char* key, const QCborValue& value) {
        QCborMap m = base;
        if (value.isInvalid())
            m.remove(QLatin1String(key));
        else
            m[QLatin1String(key)] = value;
        return QCborValue(m).toCbor();
    };
    auto withTable = [&](const char* key, const QCborValue& value) {
        QCborMap t = table;
        if (value.isInvalid())
            t.remove(QLatin1String(key));
        else
            t[QLatin1String(key)] = value;
        return QCborValue(withFirstTable(base, t)).toCbor();
    };
    QCborArray mapInRow;
    for (int i = 0; i < 9; ++i)
        mapInRow.append(i == 3 ? QCborValue(QCborMap{{1, 2}}) : QCborValue(i));
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray("hello"), "could not be read"},
        {QCborValue(QStringLiteral("a text")).toCbor(), "it is not a map"},
        {QCborValue(QCborArray{1, 2}).toCbor(), "it is not a map"},
        {with("format", 2), "unknown format version"},
        {with("format", QCborValue::Invalid), "unknown format version"},
        {with("messageType", QStringLiteral("3")), "messageType"},
        {with("messageId", 17), "messageId"},
        {with("criteria", QCborMap()), "criteria is not an array"},
        {with("criteria", QCborArray{QStringLiteral("INSP_ID")}), "criteria entry"},
        {with("tables", QCborValue::Invalid), "tables is missing"},
        {withTable("fields", QCborArray{1}), "field name"},
        {withTable("rows", QCborArray{QCborArray{QStringLiteral("only one")}}), "row width"},
        {withTable("rows", QCborArray{mapInRow}), "unsupported type"},
        {withTable("rows", QCborValue::Invalid), "table layout"},
    };
    for (const auto& [bytes, says] : cases) {
        const auto failure = attempt([&] { decodeMessage(bytes); });
        ASSERT_TRUE(failure) << says;
        EXPECT_EQ(failure->code(), codes::kMalformedMessage) << says;
        EXPECT_TRUE(failure->description().contains(QLatin1String(says)))
            << says << ": " << failure->description().toStdString();
    }
}

namespace {

// A message whose only table has one field and one row holding the given encoded value.
QByteArray messageWithCell(const QByteArray& cell) {
    const QByteArray marker = QByteArray::fromHex("4a00ff00ff00ff00ff00ff");
    MessageData m;
    m.messageId = QStringLiteral("m");
    TableData t;
    t.fields << QStringLiteral("V");
    t.rows.push_back({QVariant(marker.mid(1))});
    m.tables.push_back(NamedTable{QStringLiteral("T"), t});
    QByteArray bytes = encodeMessage(m);
    return bytes.replace(marker, cell);
}

struct Vector {
    const char* hex;
    QVariant value; // invalid: decodes to null
    bool refused = false;
};

QVariant when(int ms = 0) {
    return QVariant(QDateTime(QDate(2013, 3, 21), QTime(20, 4, 0, ms), Qt::UTC));
}

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

// RFC 8949, Appendix A, as table cells: what a cell can hold decodes to that value, the rest is
// refused with a clear error rather than misread.
const Vector kAppendixA[] = {
    {"00", qint64(0)},
    {"01", qint64(1)},
    {"0a", qint64(10)},
    {"17", qint64(23)},
    {"1818", qint64(24)},
    {"1819", qint64(25)},
    {"1864", qint64(100)},
    {"1903e8", qint64(1000)},
    {"1a000f4240", qint64(1000000)},
    {"1b000000e8d4a51000", qint64(1000000000000)},
    {"1bffffffffffffffff", qulonglong(18446744073709551615ULL)},
    {"c249010000000000000000", {}, true},
    {"3bffffffffffffffff", {}, true},
    {"c349010000000000000000", {}, true},
    {"20", qint64(-1)},
    {"29", qint64(-10)},
    {"3863", qint64(-100)},
    {"3903e7", qint64(-1000)},
    {"f90000", 0.0},
    {"f98000", -0.0},
    {"f93c00", 1.0},
    {"fb3ff199999999999a", 1.1},
    {"f93e00", 1.5},
    {"f97bff", 65504.0},
    {"fa47c35000", 100000.0},
    {"fa7f7fffff", 3.4028234663852886e+38},
    {"fb7e37e43c8800759c", 1.0e+300},
    {"f90001", 5.960464477539063e-8},
    {"f90400", 0.00006103515625},
    {"f9c400", -4.0},
    {"fbc010666666666666", -4.1},
    {"f97c00", inf},
    {"f97e00", nan},
    {"f9fc00", -inf},
    {"fa7f800000", inf},
    {"fa7fc00000", nan},
    {"faff800000", -inf},
    {"fb7ff0000000000000", inf},
    {"fb7ff8000000000000", nan},
    {"fbfff0000000000000", -inf},
    {"f4", false},
    {"f5", true},
    {"f6", {}},
    {"f7", {}},
    {"f0", {}, true},
    {"f8ff", {}, true},
    {"c074323031332d30332d32315432303a30343a30305a", when()},
    {"c11a514b67b0", when()},
    {"c1fb41d452d9ec200000", when(500)},
    {"d74401020304", {}, true},
    {"d818456449455446", {}, true},
    {"d82076687474703a2f2f7777772e6578616d706c652e636f6d", {}, true},
    {"40", QByteArray()},
    {"4401020304", QByteArray::fromHex("01020304")},
    {"60", QString()},
    {"6161", QStringLiteral("a")},
    {"6449455446", QStringLiteral("IETF")},
    {"62225c", QStringLiteral("\"\\")},
    {"62c3bc", QString(QChar(0xfc))},
    {"63e6b0b4", QString(QChar(0x6c34))},
    {"64f0908591", QString::fromUcs4(U"\U00010151")},
    {"80", {}, true},
    {"83010203", {}, true},
    {"8301820203820405", {}, true},
    {"a0", {}, true},
    {"a201020304", {}, true},
    {"a26161016162820203", {}, true},
    {"5f42010243030405ff", QByteArray::fromHex("0102030405")},
    {"7f657374726561646d696e67ff", QStringLiteral("streaming")},
    {"9fff", {}, true},
    {"9f018202039f0405ffff", {}, true},
    {"bf61610161629f0203ffff", {}, true},
    {"bf6346756ef563416d7421ff", {}, true},
};

} // namespace

TEST(CodecTest, TheStandardsExamplesDecodeAsTheirValuesOrAreRefused) {
    for (const Vector& v : kAppendixA) {
        const QByteArray bytes = messageWithCell(QByteArray::fromHex(v.hex));
        MessageData decoded;
        const auto failure = attempt([&] { decoded = decodeMessage(bytes); });
        if (v.refused) {
            ASSERT_TRUE(failure) << v.hex << " was accepted";
            EXPECT_EQ(failure->code(), codes::kMalformedMessage) << v.hex;
            continue;
        }
        ASSERT_FALSE(failure) << v.hex << ": " << failure->description().toStdString();
        const QVariant got = decoded.tables.at(0).table.rows.at(0).at(0);
        if (!v.value.isValid()) {
            EXPECT_FALSE(got.isValid()) << v.hex;
        } else if (v.value.metaType().id() == QMetaType::Double) {
            ASSERT_EQ(got.metaType().id(), QMetaType::Double) << v.hex;
            const double want = v.value.toDouble();
            const double have = got.toDouble();
            if (std::isnan(want))
                EXPECT_TRUE(std::isnan(have)) << v.hex;
            else
                EXPECT_TRUE(have == want && std::signbit(have) == std::signbit(want))
                    << v.hex << ": " << have;
        } else {
            EXPECT_EQ(got, v.value) << v.hex << ": " << got.toString().toStdString();
            EXPECT_EQ(got.metaType(), v.value.metaType()) << v.hex;
        }
    }
}

TEST(CodecTest, IndefiniteLengthMapsArraysAndStringsReadLikeDefiniteOnes) {
    auto text = [](const char* s) {
        const QByteArray utf8(s);
        return QByteArray(1, char(0x60 + utf8.size())) + utf8;
    };
    const QByteArray bytes =
        QByteArray::fromHex("bf") + text("format") + QByteArray::fromHex("01") +
        text("messageType") + QByteArray::fromHex("02") + text("messageId") +
        QByteArray::fromHex("7f61786179ff") + text("criteria") + QByteArray::fromHex("9fff") +
        text("tables") + QByteArray::fromHex("9fbf") + text("name") + text("T") + text("fields") +
        QByteArray::fromHex("9f") + text("A") + text("B") + QByteArray::fromHex("ff") +
        text("rows") + QByteArray::fromHex("9f8201029f0304ffffffffff");
    const MessageData m = decodeMessage(bytes);
    EXPECT_EQ(m.messageType, 2);
    EXPECT_EQ(m.messageId, QStringLiteral("xy"));
    ASSERT_EQ(m.tables.size(), 1u);
    EXPECT_EQ(m.tables[0].table.fields, (QStringList{"A", "B"}));
    ASSERT_EQ(m.tables[0].table.rows.size(), 2u);
    EXPECT_EQ(m.tables[0].table.rows[1][1].toLongLong(), 4);
}

namespace {

// A message built by hand, one bound past its limit (or right at it).
struct Bound {
    const char* name;
    std::function<QByteArray()> bytes;
    const char* says; // empty: accepted
};

using Writes = std::function<void(QCborStreamWriter&)>;

// The header, `criteria` empty criteria, the tables that tables writes (none when empty), and
// extraKeys more entries that extra writes.
QByteArray build(qsizetype criteria, const Writes& tables = {}, const Writes& extra = {},
                 int extraKeys = 0) {
    QByteArray out;
    QCborStreamWriter w(&out);
    w.startMap(6 + extraKeys);
    for (const char* key : {"format", "messageType"}) {
        w.append(QLatin1String(key));
        w.append(key[0] == 'f' ? 1 : 2);
    }
    for (const char* key : {"replyTo", "messageId"}) {
        w.append(QLatin1String(key));
        w.append(QLatin1String("id"));
    }
    w.append(QLatin1String("criteria"));
    w.startArray(criteria);
    for (qsizetype i = 0; i < criteria; ++i) {
        w.startMap(0);
        w.endMap();
    }
    w.endArray();
    w.append(QLatin1String("tables"));
    if (tables) {
        tables(w);
    } else {
        w.startArray(0);
        w.endArray();
    }
    if (extra)
        extra(w);
    w.endMap();
    return out;
}

QByteArray nested(int arrays) {
    return build(
        0, {},
        [&](QCborStreamWriter& w) {
            w.append(QLatin1String("x"));
            for (int i = 0; i < arrays; ++i)
                w.startArray(1);
            w.append(0);
            for (int i = 0; i < arrays; ++i)
                w.endArray();
        },
        1);
}

QByteArray table(qsizetype fields, qsizetype rows, qsizetype tables = 1) {
    return build(0, [&](QCborStreamWriter& w) {
        w.startArray(tables);
        for (qsizetype t = 0; t < tables; ++t) {
            w.startMap(3);
            w.append(QLatin1String("name"));
            w.append(QLatin1String("T"));
            w.append(QLatin1String("fields"));
            w.startArray(fields);
            for (qsizetype f = 0; f < fields; ++f)
                w.append(QString::number(f));
            w.endArray();
            w.append(QLatin1String("rows"));
            w.startArray(rows);
            for (qsizetype r = 0; r < rows; ++r) {
                w.startArray(fields);
                for (qsizetype f = 0; f < fields; ++f)
                    w.append(QCborSimpleType::Null);
                w.endArray();
            }
            w.endArray();
            w.endMap();
        }
        w.endArray();
    });
}

QByteArray longText(qsizetype bytes) {
    return build(
        0, {},
        [&](QCborStreamWriter& w) {
            w.append(QLatin1String("errorText"));
            w.append(QString(bytes, u'x'));
        },
        1);
}

QByteArray manyKeys(int keys) {
    return build(
        0, {},
        [&](QCborStreamWriter& w) {
            for (int i = 0; i < keys - 6; ++i) {
                w.append(QStringLiteral("k%1").arg(i));
                w.append(i);
            }
        },
        keys - 6);
}

using namespace codec_limits;

const Bound kBounds[] = {
    // The message is the first level and the innermost value the last.
    {"MessageAtTheLimitOfNesting", [] { return nested(kMaxDepth - 2); }, ""},
    {"MessageNestedOneLevelTooDeep", [] { return nested(kMaxDepth - 1); },
     "nested more than 8 levels"},
    {"TextAtItsLimit", [] { return longText(kMaxStringBytes); }, ""},
    {"TextOneByteTooLong", [] { return longText(kMaxStringBytes + 1); },
     "is longer than 1048576 bytes"},
    {"MapAtItsLimit", [] { return manyKeys(kMaxMapEntries); }, ""},
    {"MapWithOneEntryTooMany", [] { return manyKeys(kMaxMapEntries + 1); },
     "a map has more than 64 entries"},
    {"CriteriaAtTheLimit", [] { return build(kMaxCriteria); }, ""},
    {"OneCriterionTooMany", [] { return build(kMaxCriteria + 1); },
     "criteria has more than 256 entries"},
    {"OneTableTooMany", [] { return table(1, 0, kMaxTables + 1); }, "tables has more than 64"},
    {"OneFieldTooMany", [] { return table(kMaxFields + 1, 0); }, "fields has more than 256"},
    {"OneRowTooMany", [] { return table(1, kMaxRows + 1); }, "rows has more than 500000"},
    {"OneValueTooMany", [] { return table(4, kMaxCells / 4 + 1); },
     "the tables hold more than 1000000 values"},
    {"MessageOneByteTooLarge",
     [] { return encodeMessage(sample()) + QByteArray(kMaxMessageBytes, '\0'); },
     "larger than 16 MiB"},
    {"KeyGivenTwice",
     [] {
         return build(
             0, {},
             [](QCborStreamWriter& w) {
                 w.append(QLatin1String("messageId"));
                 w.append(QLatin1String("again"));
             },
             1);
     },
     "the key \"messageId\" appears twice"},
};

} // namespace

TEST(CodecTest, EachBoundIsHeldAndRefusalsNameIt) {
    for (const Bound& b : kBounds) {
        const QByteArray bytes = b.bytes();
        MessageData readSoFar;
        const auto failure = attempt([&] { decodeMessage(bytes, &readSoFar); });
        if (!*b.says) {
            EXPECT_FALSE(failure) << b.name << ": " << failure->description().toStdString();
            continue;
        }
        ASSERT_TRUE(failure) << b.name << " was accepted";
        EXPECT_TRUE(failure->description().contains(QLatin1String(b.says)))
            << b.name << ": " << failure->description().toStdString();
        // The sender can still be answered.
        EXPECT_FALSE(readSoFar.messageId.isEmpty()) << b.name;
    }
}
