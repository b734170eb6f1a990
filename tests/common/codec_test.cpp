#include "common/codec.h"
#include "common/failure.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace zavek;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime kWhen(QDate(2026, 12, 6), QTime(14, 30, 5, 120), Qt::UTC);

MessageData sample() {
    MessageData m;
    m.replyTo = u"DOC-1"_s;
    m.clientVersion = u"1.12"_s;
    m.messageType = 3;
    m.sessionId = u"S-42"_s;
    m.messageId = u"0b9c2a7e-1111-4222-8333-444455556666"_s;
    m.errorText = u"Refused: Ødegård already holds 山田's agency 🛡"_s;
    m.criteria.push_back(Criteria{u"ZAVEK"_s, u"INSP_ID"_s, u"="_s, u"Zoë-7"_s});
    TableData t;
    t.fields =
        QStringList{"TEXT", "NUMBER", "BIG", "REAL", "FLAG", "BYTES", "WHEN", "NULL", "EMPTY"};
    t.rows.push_back({u"Ärger über 東京"_s, -7, qlonglong(1) << 40, 2.5, true,
                      QByteArray("\x00\x01\xff", 3), kWhen, QVariant(), QString("")});
    t.rows.push_back(
        {QString(), 0, qlonglong(-1), -0.125, false, QByteArray(), QVariant(), QVariant(), u" "_s});
    m.tables.push_back(NamedTable{u"OFFICERGROUP"_s, t});
    m.tables.push_back(NamedTable{u"SETUP"_s, TableData{}});
    return m;
}

// The failure decoding gives, with what was read before it.
std::optional<Failure> refusal(const QByteArray& bytes, MessageData* readSoFar = nullptr) {
    return attempt([&] { decodeMessage(bytes, readSoFar); });
}

} // namespace

TEST(CodecTest, RoundTripKeepsEveryFieldValueAndType) {
    const MessageData original = sample();
    const MessageData decoded = decodeMessage(encodeMessage(original));
    EXPECT_EQ(decoded, original);
    const auto& row = decoded.tables[0].table.rows[0];
    EXPECT_EQ(row[4].metaType().id(), QMetaType::Bool);
    EXPECT_EQ(row[6].toDateTime(), kWhen);
    EXPECT_FALSE(row[7].isValid()); // null stays apart from the empty text
    EXPECT_EQ(row[8].metaType().id(), QMetaType::QString);
    EXPECT_EQ(decodeMessage(encodeMessage(MessageData{})), MessageData{});
}

TEST(CodecTest, EveryTruncationIsMalformed) {
    const QByteArray bytes = encodeMessage(sample());
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        const auto failure = refusal(bytes.left(n));
        ASSERT_TRUE(failure && failure->code() == codes::kMalformedMessage) << "prefix " << n;
    }
}

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
QVariant when(int ms = 0) {
    return QDateTime(QDate(2013, 3, 21), QTime(20, 4, 0, ms), Qt::UTC);
}

// Examples of the standard's appendix as table cells, one of each kind and each integer width
// at its boundary: what a cell can hold decodes to that value (an invalid one: null), the rest
// (big numbers, undefined tags, nested arrays and maps, break codes) is refused rather than
// misread.
// clang-format off
const std::pair<const char*, QVariant> kDecoded[] = {
    {"00", qint64(0)}, {"1818", qint64(24)}, {"1bffffffffffffffff", qulonglong(18446744073709551615ULL)},
    {"3903e7", qint64(-1000)}, {"f98000", -0.0}, {"fbc010666666666666", -4.1}, {"f97e00", nan}, {"f5", true},
    {"f6", {}}, {"c074323031332d30332d32315432303a30343a30305a", when()}, {"c1fb41d452d9ec200000", when(500)},
    {"64f0908591", QString::fromUcs4(U"\U00010151")}, {"7f657374726561646d696e67ff", QString("streaming")}};
const char* const kRefused[] = {"c249010000000000000000", "3bffffffffffffffff", "83010203", "a201020304"};
// clang-format on

// A message whose only table has one field and one row holding the given encoded value.
QByteArray messageWithCell(const char* hex) {
    const QByteArray marker = QByteArray::fromHex("4a00ff00ff00ff00ff00ff");
    MessageData m;
    m.tables.push_back({u"T"_s, {{"V"}, {{marker.mid(1)}}}});
    return encodeMessage(m).replace(marker, QByteArray::fromHex(hex));
}

} // namespace

TEST(CodecTest, TheStandardsExamplesDecodeAsTheirValuesOrAreRefused) {
    for (const char* hex : kRefused) {
        const auto failure = refusal(messageWithCell(hex));
        EXPECT_TRUE(failure && failure->code() == codes::kMalformedMessage)
            << hex << " was accepted";
    }
    for (const auto& [hex, want] : kDecoded) {
        MessageData decoded;
        const auto failure = attempt([&] { decoded = decodeMessage(messageWithCell(hex)); });
        ASSERT_FALSE(failure) << hex << ": " << failure->description().toStdString();
        const QVariant got = decoded.tables.at(0).table.rows.at(0).at(0);
        const double w = want.toDouble(), h = got.toDouble();
        EXPECT_TRUE(got.metaType() == want.metaType() &&
                    (want.metaType().id() != QMetaType::Double ? got == want
                     : std::isnan(w)                           ? std::isnan(h)
                                     : h == w && std::signbit(h) == std::signbit(w)))
            << hex << ": " << got.toString().toStdString();
    }
}

// The message, its texts, criteria, tables, fields and rows all of indefinite length.
TEST(CodecTest, IndefiniteLengthMapsArraysAndStringsReadLikeDefiniteOnes) {
    // clang-format off
    const QByteArray bytes = QByteArray::fromHex(
        "bf66666f726d6174016b6d6573736167655479706502696d65737361676549647f61786179ff686372697465726961"
        "9fff667461626c65739fbf646e616d656154666669656c64739f61416142ff64726f77739f8201029f0304ffffffffff");
    const MessageData want{{}, {}, 2, {}, u"xy"_s, {},
                           {{u"T"_s, {{"A", "B"}, {{qint64(1), qint64(2)}, {qint64(3), qint64(4)}}}}}, {}};
    // clang-format on
    EXPECT_EQ(decodeMessage(bytes), want);
}

namespace {

using namespace codec_limits;

// A message with no criteria and no tables, in the order the decoder reads it, and changed by
// `change` after that.
QByteArray message(const std::function<void(QCborMap&)>& change) {
    QCborMap m{
        {u"format"_s, 1},          {u"messageType"_s, 2},         {u"replyTo"_s, u"id"_s},
        {u"messageId"_s, u"id"_s}, {u"criteria"_s, QCborArray()}, {u"tables"_s, QCborArray()}};
    change(m);
    return QCborValue(m).toCbor();
}

// count tables of the given fields and rows, every cell null.
QByteArray tables(qsizetype fields, qsizetype rows, qsizetype count = 1) {
    QCborArray names, row, all, table;
    for (qsizetype f = 0; f < fields; ++f)
        names.append(QString::number(f)), row.append(nullptr);
    for (qsizetype r = 0; r < rows; ++r)
        all.append(row);
    const QCborMap one{{u"name"_s, u"T"_s}, {u"fields"_s, names}, {u"rows"_s, all}};
    for (qsizetype t = 0; t < count; ++t)
        table.append(one);
    return message([&](QCborMap& m) { m[u"tables"_s] = table; });
}

QByteArray nested(int arrays) {
    QCborValue v(0);
    for (int i = 0; i < arrays; ++i)
        v = QCborArray{v};
    return message([&](QCborMap& m) { m[u"x"_s] = v; });
}

QByteArray keys(int count) {
    return message([&](QCborMap& m) {
        for (int i = 0; m.size() < count; ++i)
            m[u"k%1"_s.arg(i)] = i;
    });
}

QByteArray criteria(qsizetype count) {
    return message([&](QCborMap& m) {
        QCborArray all;
        for (qsizetype i = 0; i < count; ++i)
            all.append(QCborMap());
        m[u"criteria"_s] = all;
    });
}

QByteArray text(qsizetype bytes) {
    return message([&](QCborMap& m) { m[u"errorText"_s] = QString(bytes, u'x'); });
}

// One bound past its limit, or right at it (says empty: accepted).
// clang-format off
const std::tuple<const char*, std::function<QByteArray()>, const char*> kBounds[] = {
    // The message is the first level and the innermost value the last.
    {"MessageAtTheLimitOfNesting", [] { return nested(kMaxDepth - 2); }, ""},
    {"MessageNestedOneLevelTooDeep", [] { return nested(kMaxDepth - 1); }, "nested more than 8 levels"},
    {"TextAtItsLimit", [] { return text(kMaxStringBytes); }, ""},
    {"TextOneByteTooLong", [] { return text(kMaxStringBytes + 1); }, "is longer than 1048576 bytes"},
    {"MapAtItsLimit", [] { return keys(kMaxMapEntries); }, ""},
    {"MapWithOneEntryTooMany", [] { return keys(kMaxMapEntries + 1); }, "a map has more than 64 entries"},
    {"CriteriaAtTheLimit", [] { return criteria(kMaxCriteria); }, ""},
    {"OneCriterionTooMany", [] { return criteria(kMaxCriteria + 1); }, "criteria has more than 256 entries"},
    {"OneTableTooMany", [] { return tables(1, 0, kMaxTables + 1); }, "tables has more than 64"},
    {"OneFieldTooMany", [] { return tables(kMaxFields + 1, 0); }, "fields has more than 256"},
    {"OneRowTooMany", [] { return tables(1, kMaxRows + 1); }, "rows has more than 500000"},
    {"OneValueTooMany", [] { return tables(4, kMaxCells / 4 + 1); }, "the tables hold more than 1000000 values"},
    {"MessageOneByteTooLarge", [] { return encodeMessage(sample()) + QByteArray(kMaxMessageBytes, '\0'); },
     "larger than 16 MiB"},
    {"KeyGivenTwice", [] { // a map of seven entries whose last repeats a key
         return message([](QCborMap&) {}).replace(0, 1, "\xa7") +
                QCborValue(u"messageId"_s).toCbor() + QCborValue(u"again"_s).toCbor(); },
     "the key \"messageId\" appears twice"},
};
// clang-format on

} // namespace

TEST(CodecTest, EachBoundIsHeldAndRefusalsNameIt) {
    for (const auto& [name, bytes, says] : kBounds) {
        MessageData readSoFar;
        const auto failure = refusal(bytes(), &readSoFar);
        if (!*says) {
            EXPECT_FALSE(failure) << name << ": " << failure->description().toStdString();
            continue;
        }
        ASSERT_TRUE(failure) << name << " was accepted";
        EXPECT_TRUE(failure->description().contains(QLatin1String(says)))
            << name << ": " << failure->description().toStdString();
        EXPECT_FALSE(readSoFar.messageId.isEmpty()) << name << ": the sender cannot be answered";
    }
}

// Each misshapen message is refused, and the refusal names what was wrong.
TEST(CodecTest, MisshapenMessagesAreRefusedSayingWhat) {
    auto set = [](const QString& key, const QCborValue& value) {
        return message([&](QCborMap& m) { m[key] = value; });
    };
    auto table = [&](const QCborArray& fields, const QCborArray& rows) {
        return set(
            u"tables"_s,
            QCborArray{QCborMap{{u"name"_s, u"T"_s}, {u"fields"_s, fields}, {u"rows"_s, rows}}});
    };
    // clang-format off
    const std::pair<QByteArray, const char*> cases[] = {
        {QByteArray("hello"), "could not be read"}, {QCborValue(u"a text"_s).toCbor(), "it is not a map"},
        {set(u"format"_s, 2), "unknown format version"}, {set(u"messageType"_s, u"3"_s), "messageType"},
        {set(u"criteria"_s, QCborArray{u"INSP_ID"_s}), "criteria entry"}, {message([](QCborMap& m) { m.remove(u"tables"_s); }), "tables is missing"},
        {table({1}, {}), "field name"}, {table({u"A"_s, u"B"_s}, QCborArray{QCborValue(QCborArray{u"only one"_s})}), "row width"}};
    // clang-format on
    for (const auto& [bytes, says] : cases) {
        const auto failure = refusal(bytes);
        ASSERT_TRUE(failure) << says;
        EXPECT_TRUE(failure->code() == codes::kMalformedMessage &&
                    failure->description().contains(QLatin1String(says)))
            << says << ": " << failure->description().toStdString();
    }
}
