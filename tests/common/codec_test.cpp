#include "common/codec.h"
#include "common/failure.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDateTime>

#include <gtest/gtest.h>

#include <functional>

using namespace zavek;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime kWhen(QDate(2026, 12, 6), QTime(14, 30, 5, 120), Qt::UTC);

MessageData sample() {
    // clang-format off
    const TableData t{{"TEXT", "NUMBER", "BIG", "REAL", "FLAG", "BYTES", "WHEN", "NULL", "EMPTY"},
                      {{u"Ärger über 東京"_s, -7, qlonglong(1) << 40, 2.5, true, QByteArray("\x00\x01\xff", 3), kWhen, QVariant(), QString("")}}};
    return {u"DOC-1"_s, u"1.12"_s, 3, u"S-42"_s, u"0b9c2a7e-1111-4222-8333-444455556666"_s,
            {{u"ZAVEK"_s, u"INSP_ID"_s, u"="_s, u"Zoë-7"_s}}, {{u"OFFICERGROUP"_s, t}, {u"SETUP"_s, {}}},
            u"Refused: Ødegård already holds 山田's agency 🛡"_s};
    // clang-format on
}

// The failure decoding gives, with what was read before it.
std::optional<Failure> refusal(const QByteArray& bytes, MessageData* readSoFar = nullptr) {
    return attempt([&] { decodeMessage(bytes, readSoFar); });
}

} // namespace

TEST(CodecTest, RoundTripKeepsEveryFieldValueAndTypeAndTruncationsAreMalformed) {
    const MessageData original = sample();
    const MessageData decoded = decodeMessage(encodeMessage(original));
    EXPECT_EQ(decoded, original);
    const auto& row = decoded.tables[0].table.rows[0];
    EXPECT_EQ(row[4].metaType().id(), QMetaType::Bool);
    EXPECT_EQ(row[6].toDateTime(), kWhen);
    EXPECT_FALSE(row[7].isValid()); // null stays apart from the empty text
    EXPECT_EQ(row[8].metaType().id(), QMetaType::QString);
    EXPECT_EQ(decodeMessage(encodeMessage(MessageData{})), MessageData{});
    const QByteArray bytes = encodeMessage(original); // and every truncation of it is malformed
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        const auto failure = refusal(bytes.left(n));
        ASSERT_TRUE(failure && failure->code() == codes::kMalformedMessage) << "prefix " << n;
    }
}

namespace {

// Examples of the standard's appendix as table cells, one of each kind a cell can hold (an
// invalid one: null) decoding to that value; the rest (big numbers, undefined tags, nested
// arrays and maps) is refused rather than misread.
// clang-format off
const std::pair<const char*, QVariant> kDecoded[] = {
    {"1818", qint64(24)}, {"1bffffffffffffffff", qulonglong(18446744073709551615ULL)}, {"3903e7", qint64(-1000)},
    {"fbc010666666666666", -4.1}, {"f5", true}, {"f6", {}}, {"64f0908591", QString::fromUcs4(U"\U00010151")},
    {"c074323031332d30332d32315432303a30343a30305a", QDateTime(QDate(2013, 3, 21), QTime(20, 4), Qt::UTC)},
    {"7f657374726561646d696e67ff", QString("streaming")}};
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
    for (const char* hex : kRefused)
        EXPECT_EQ(refusal(messageWithCell(hex)).value_or(Failure(0, {})).code(),
                  codes::kMalformedMessage)
            << hex;
    for (const auto& [hex, want] : kDecoded) {
        MessageData decoded;
        const auto failure = attempt([&] { decoded = decodeMessage(messageWithCell(hex)); });
        ASSERT_FALSE(failure) << hex << ": " << failure->description().toStdString();
        const QVariant got = decoded.tables.at(0).table.rows.at(0).at(0);
        EXPECT_TRUE(got.metaType() == want.metaType() && got == want)
            << hex << ": " << got.toString().toStdString();
    }
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
QByteArray set(const QString& key, const QCborValue& value) {
    return message([&](QCborMap& m) { m[key] = value; });
}
QCborArray times(qsizetype n, const QCborValue& value) {
    QCborArray all;
    for (qsizetype i = 0; i < n; ++i)
        all.append(value);
    return all;
}
QByteArray table(const QCborArray& fields, const QCborArray& rows, qsizetype count = 1) {
    return set(
        u"tables"_s,
        times(count, QCborMap{{u"name"_s, u"T"_s}, {u"fields"_s, fields}, {u"rows"_s, rows}}));
}
// count tables of the given fields and rows, every cell null.
QByteArray tables(qsizetype fields, qsizetype rows, qsizetype count = 1) {
    QCborArray names;
    for (qsizetype f = 0; f < fields; ++f)
        names.append(QString::number(f));
    return table(names, times(rows, times(fields, nullptr)), count);
}

QByteArray nested(int arrays) {
    QCborValue v(0);
    for (int i = 0; i < arrays; ++i)
        v = QCborArray{v};
    return set(u"x"_s, v);
}

QByteArray keys(int count) {
    return message([&](QCborMap& m) {
        for (int i = 0; m.size() < count; ++i)
            m[u"k%1"_s.arg(i)] = i;
    });
}

// Each bound right at its limit (says empty: accepted) and one past it, and each misshapen
// message; a refusal names what was wrong, and (answerable) keeps the sender's identifier.
// clang-format off
const std::tuple<const char*, std::function<QByteArray()>, const char*, bool> kCases[] = {
    // The message is the first level and the innermost value the last.
    {"MessageAtTheLimitOfNesting", [] { return nested(kMaxDepth - 2); }, "", true},
    {"MessageNestedOneLevelTooDeep", [] { return nested(kMaxDepth - 1); }, "nested more than 8 levels", true},
    {"TextAtItsLimit", [] { return set(u"errorText"_s, QString(kMaxStringBytes, u'x')); }, "", true},
    {"TextOneByteTooLong", [] { return set(u"errorText"_s, QString(kMaxStringBytes + 1, u'x')); }, "is longer than 1048576 bytes", true},
    {"MapAtItsLimit", [] { return keys(kMaxMapEntries); }, "", true},
    {"MapWithOneEntryTooMany", [] { return keys(kMaxMapEntries + 1); }, "a map has more than 64 entries", true},
    {"CriteriaAtTheLimit", [] { return set(u"criteria"_s, times(kMaxCriteria, QCborMap())); }, "", true},
    {"OneCriterionTooMany", [] { return set(u"criteria"_s, times(kMaxCriteria + 1, QCborMap())); }, "criteria has more than 256 entries", true},
    {"OneTableTooMany", [] { return tables(1, 0, kMaxTables + 1); }, "tables has more than 64", true},
    {"OneFieldTooMany", [] { return tables(kMaxFields + 1, 0); }, "fields has more than 256", true},
    {"OneRowTooMany", [] { return tables(1, kMaxRows + 1); }, "rows has more than 500000", true},
    {"OneValueTooMany", [] { return tables(4, kMaxCells / 4 + 1); }, "the tables hold more than 1000000 values", true},
    {"MessageOneByteTooLarge", [] { return encodeMessage(sample()) + QByteArray(kMaxMessageBytes, '\0'); },
     "larger than 16 MiB", true},
    {"KeyGivenTwice", [] { // a map of seven entries whose last repeats a key
         return message([](QCborMap&) {}).replace(0, 1, "\xa7") +
                QCborValue(u"messageId"_s).toCbor() + QCborValue(u"again"_s).toCbor(); },
     "the key \"messageId\" appears twice", true},
    {"NotCbor", [] { return QByteArray("hello"); }, "could not be read", false},
    {"NotAMap", [] { return QCborValue(u"a text"_s).toCbor(); }, "it is not a map", false},
    {"UnknownFormat", [] { return set(u"format"_s, 2); }, "unknown format version", false},
    {"TypeAsText", [] { return set(u"messageType"_s, u"3"_s); }, "messageType", false},
    {"CriterionNotAMap", [] { return set(u"criteria"_s, QCborArray{u"INSP_ID"_s}); }, "criteria entry", false},
    {"NoTables", [] { return message([](QCborMap& m) { m.remove(u"tables"_s); }); }, "tables is missing", false},
    {"FieldNameNotText", [] { return table({1}, {}); }, "field name", false},
    {"RowTooShort", [] { return table({u"A"_s, u"B"_s}, QCborArray{QCborValue(QCborArray{u"only one"_s})}); }, "row width", false},
};
// clang-format on

} // namespace

TEST(CodecTest, EachBoundIsHeldAndRefusalsAreMalformedAndNameWhatWasWrong) {
    for (const auto& [name, bytes, says, answerable] : kCases) {
        MessageData readSoFar;
        const auto failure = refusal(bytes(), &readSoFar);
        if (!*says) {
            EXPECT_FALSE(failure) << name << ": " << failure->description().toStdString();
            continue;
        }
        ASSERT_TRUE(failure) << name << " was accepted";
        EXPECT_TRUE(failure->code() == codes::kMalformedMessage &&
                    failure->description().contains(QLatin1String(says)))
            << name << ": " << failure->description().toStdString();
        EXPECT_TRUE(!answerable || !readSoFar.messageId.isEmpty())
            << name << ": the sender cannot be answered";
    }
}
