// The request processor: any bytes, decoded, are processed against the demo data in memory; a
// request with no session gets a live one, so that the save path is reached. The processor
// answers without throwing, its reply encodes and decodes, a refused request adds no audit row,
// and every officer keeps exactly one agency of its region.

#include "fuzz/fuzz_support.h"

#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/request_processor.h"
#include "common/codec.h"

#include <QCoreApplication>

using namespace zavek;

int fuzzOne(const QByteArray& bytes) {
    static int argc = 0;
    static QCoreApplication app(argc, nullptr);
    static QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fuzz");
    static const QString token = [] {
        db.setDatabaseName(":memory:");
        assert(db.open() && backend::seedDemoData(db));
        return backend::Authenticator(db).signIn(backend::kDemoAdminId, "zavek-demo").token;
    }();
    static backend::RequestProcessor processor(db);
    const QVariant audited = backend::scalar(db, "SELECT COUNT(*) FROM AUDIT_LOG");
    MessageData request;
    if (attempt([&] { request = decodeMessage(bytes); })) {
        const QByteArray reply = processor.process(bytes);
        return assert(reply.isEmpty() || !decodeMessage(reply).errorText.isEmpty()), 0;
    }
    request.sessionId = request.sessionId.isEmpty() ? token : request.sessionId;
    const MessageData reply = processor.process(request);
    assert(reply.replyTo == request.replyTo && reply.messageId == request.messageId &&
           decodeMessage(encodeMessage(reply)) == reply &&
           (reply.errorText.isEmpty() ||
            backend::scalar(db, "SELECT COUNT(*) FROM AUDIT_LOG") == audited));
    assert(backend::scalar(db, "SELECT COUNT(*) FROM OFFICER o WHERE 1 <> (SELECT COUNT(*) FROM "
                               "OFFICER_GROUP JOIN VRD_GROUP USING (GRP_CD) WHERE INSP_ID = "
                               "o.INSP_ID AND REGION = o.REGION AND GRP_TYP_CD = 'A')") == 0);
    return 0;
}
