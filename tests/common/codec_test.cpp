#include "common/codec.h"
#include "common/failure.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborValue>
#include <QDateTime>

#include <gtest/gtest.h>

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

std::uint32_t decodeFailure(const QCborMap& map) {
    return decodeFailure(QCborValue(map).toCbor());
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

TEST(CodecTest, GarbageAndWrongRootAreMalformed) {
    EXPECT_EQ(decodeFailure(QByteArray("hello")), codes::kMalformedMessage);
    EXPECT_EQ(decodeFailure(QCborValue(QStringLiteral("a text")).toCbor()),
              codes::kMalformedMessage);
    EXPECT_EQ(decodeFailure(QCborValue(QCborArray{1, 2}).toCbor()), codes::kMalformedMessage);
}

TEST(CodecTest, UnknownFormatVersionIsMalformed) {
    QCborMap map = sampleMap();
    map[QLatin1String("format")] = 2;
    EXPECT_EQ(decodeFailure(map), codes::kMalformedMessage);
    map.remove(QLatin1String("format"));
    EXPECT_EQ(decodeFailure(map), codes::kMalformedMessage);
}

TEST(CodecTest, HeaderFieldsOfTheWrongTypeAreMalformed) {
    QCborMap typeAsText = sampleMap();
    typeAsText[QLatin1String("messageType")] = QStringLiteral("3");
    EXPECT_EQ(decodeFailure(typeAsText), codes::kMalformedMessage);

    QCborMap idAsNumber = sampleMap();
    idAsNumber[QLatin1String("messageId")] = 17;
    EXPECT_EQ(decodeFailure(idAsNumber), codes::kMalformedMessage);

    QCborMap criteriaAsMap = sampleMap();
    criteriaAsMap[QLatin1String("criteria")] = QCborMap();
    EXPECT_EQ(decodeFailure(criteriaAsMap), codes::kMalformedMessage);

    QCborMap criteriaEntryAsText = sampleMap();
    criteriaEntryAsText[QLatin1String("criteria")] = QCborArray{QStringLiteral("INSP_ID")};
    EXPECT_EQ(decodeFailure(criteriaEntryAsText), codes::kMalformedMessage);

    QCborMap noTables = sampleMap();
    noTables.remove(QLatin1String("tables"));
    EXPECT_EQ(decodeFailure(noTables), codes::kMalformedMessage);
}

TEST(CodecTest, TablesOfTheWrongShapeAreMalformed) {
    const QCborMap base = sampleMap();
    const QCborMap table = base.value(QLatin1String("tables")).toArray().at(0).toMap();

    QCborMap fieldAsNumber = table;
    fieldAsNumber[QLatin1String("fields")] = QCborArray{1};
    EXPECT_EQ(decodeFailure(withFirstTable(base, fieldAsNumber)), codes::kMalformedMessage);

    QCborMap shortRow = table;
    shortRow[QLatin1String("rows")] = QCborArray{QCborArray{QStringLiteral("only one")}};
    EXPECT_EQ(decodeFailure(withFirstTable(base, shortRow)), codes::kMalformedMessage);

    QCborMap valueAsMap = table;
    QCborArray row;
    for (int i = 0; i < 9; ++i)
        row.append(i == 3 ? QCborValue(QCborMap{{1, 2}}) : QCborValue(i));
    valueAsMap[QLatin1String("rows")] = QCborArray{row};
    EXPECT_EQ(decodeFailure(withFirstTable(base, valueAsMap)), codes::kMalformedMessage);

    QCborMap rowsMissing = table;
    rowsMissing.remove(QLatin1String("rows"));
    EXPECT_EQ(decodeFailure(withFirstTable(base, rowsMissing)), codes::kMalformedMessage);
}

TEST(CodecTest, MalformedFailureSaysWhatWasWrong) {
    QCborMap map = sampleMap();
    map[QLatin1String("messageType")] = QStringLiteral("3");
    const auto failure = attempt([&] { decodeMessage(QCborValue(map).toCbor()); });
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->description().contains(QStringLiteral("messageType")));
}
