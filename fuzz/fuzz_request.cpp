// The request validator: any bytes, decoded, go to the request processor against an in-memory
// database with a small region; a request with no session gets a live one, so that the save
// path is reached. Whatever comes in, the processor answers without throwing, its reply
// encodes and decodes, and the store keeps its rules: every officer has exactly one agency of
// the region and only groups of its catalogue.

#include "backend/clock.h"
#include "backend/password.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "backend/sql.h"
#include "common/codec.h"
#include "common/failure.h"
#include "fuzz/fuzz_support.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>

using namespace zavek;

namespace {

class FixedClock final : public backend::IClock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC); }
};

// The officers and memberships each input starts from.
const char* const kFixture[] = {
    "DELETE FROM OFFICER_GROUP", "DELETE FROM AUDIT_LOG", "DELETE FROM OFFICER",
    ("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, PWD_HASH) VALUES ('NW00123', 'Marta', "
     "'NW', 'h'), ('SE00200', 'Wei', 'SE', 'h')"),
    "INSERT INTO OFFICER_GROUP VALUES ('NW00123', 'CFR'), ('NW00123', 'BIS'), ('SE00200', 'HPS')"};

struct World {
    FixedClock clock;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz"));
    std::unique_ptr<backend::RequestProcessor> processor;
    QString token = backend::newSessionToken();

    World() {
        db.setDatabaseName(QStringLiteral(":memory:"));
        ZAVEK_FUZZ_REQUIRE(db.open());
        backend::migrate(db);
        backend::execute(
            db, QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW', 'P', 'CFR', 'Case File Read'), "
                               "('NW', 'P', 'CFU', 'Case File Update'), ('NW', 'A', 'BIS', "
                               "'Border Inspection'), ('NW', 'A', 'CUS', 'Customs'), ('SE', 'A', "
                               "'HPS', 'Harbour Police')"));
        backend::execute(db, QStringLiteral("INSERT INTO ADMINISTRATOR VALUES ('admin', 'Admin', "
                                            "'NW', 'h')"));
        const QString now = backend::storedTime(clock.now());
        QSqlQuery session(db);
        session.prepare(
            QStringLiteral("INSERT INTO ADMIN_SESSION VALUES (?, 'admin', 'NW', ?, ?, ?)"));
        for (const QString& value : {backend::tokenDigest(token), now, now,
                                     backend::storedTime(clock.now().addSecs(3600))})
            session.addBindValue(value);
        ZAVEK_FUZZ_REQUIRE(session.exec());
        restore();
        processor = std::make_unique<backend::RequestProcessor>(db, clock);
    }
    void restore() {
        for (const char* sql : kFixture)
            backend::execute(db, QString::fromLatin1(sql));
    }
    int count(const char* sql) { return backend::scalar(db, QString::fromLatin1(sql)).toInt(); }
};

World* world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    MessageData request;
    try {
        request = decodeMessage(bytes);
    } catch (const Failure&) {
        const QByteArray reply = world->processor->process(bytes);
        if (!reply.isEmpty())
            ZAVEK_FUZZ_REQUIRE(!decodeMessage(reply).errorText.isEmpty());
        return 0;
    }
    if (request.sessionId.isEmpty())
        request.sessionId = world->token;
    const MessageData reply = world->processor->process(request);
    ZAVEK_FUZZ_REQUIRE(reply.replyTo == request.replyTo && reply.messageId == request.messageId);
    ZAVEK_FUZZ_REQUIRE(decodeMessage(encodeMessage(reply)) == reply);

    // Every officer still has exactly one agency of its region, and holds only its region's
    // groups; a refused request changed nothing.
    ZAVEK_FUZZ_REQUIRE(world->count("SELECT COUNT(*) FROM OFFICER o WHERE (SELECT COUNT(*) FROM "
                                    "OFFICER_GROUP m JOIN VRD_GROUP g ON g.GRP_CD = m.GRP_CD AND "
                                    "g.REGION = o.REGION WHERE m.INSP_ID = o.INSP_ID AND "
                                    "g.GRP_TYP_CD = 'A') <> 1") == 0);
    ZAVEK_FUZZ_REQUIRE(world->count("SELECT COUNT(*) FROM OFFICER_GROUP m JOIN OFFICER o ON "
                                    "o.INSP_ID = m.INSP_ID LEFT JOIN VRD_GROUP g ON g.GRP_CD = "
                                    "m.GRP_CD AND g.REGION = o.REGION WHERE g.GRP_CD IS NULL") ==
                       0);
    const int audited = world->count("SELECT COUNT(*) FROM AUDIT_LOG");
    if (!reply.errorText.isEmpty())
        ZAVEK_FUZZ_REQUIRE(audited == 0);
    if (audited > 0 || world->count("SELECT COUNT(*) FROM OFFICER WHERE PWD_HASH IS NULL") > 0)
        world->restore();
    return 0;
}
