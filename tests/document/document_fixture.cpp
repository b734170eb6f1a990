#include "tests/document/document_fixture.h"

#include "groups/document_state.h"

#include <QCoreApplication>

namespace zavek::testing {

DocumentTest::DocumentTest() {
    db.exec({
        QStringLiteral(
            "CREATE TABLE VRD_GROUP (REGION TEXT, GRP_TYP_CD TEXT, GRP_CD TEXT, GRP_DES TEXT)"),
        QStringLiteral(
            "CREATE TABLE OFFICER (INSP_ID TEXT PRIMARY KEY, OFFICER_NAME TEXT, REGION TEXT,"
            " PWD_HASH TEXT, MUST_CHANGE_PWD INTEGER DEFAULT 0)"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','P','CFR','Case File Read')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','P','CFU','Case File Update')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','A','BIS','Border Inspection Service')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','A','CUS','Customs Investigation')"),
        QStringLiteral("INSERT INTO OFFICER VALUES ('NW001','Ann Smith','NW',NULL,0)"),
    });
    SessionInfo::Instance().establish(QStringLiteral("session-1"), QStringLiteral("NW"),
                                      db.connectionName());
    transport = std::make_shared<LoopbackTransport>();
    transport->setResponder([this](const MessageData& request) -> std::optional<MessageData> {
        MessageData reply = LoopbackTransport::replyTo(request);
        const QString officer =
            request.messageType == 2 ? request.criteria.at(0).value : QStringLiteral("NW001");
        if (request.messageType == 3)
            reply.errorText = saveError;
        TableData table;
        table.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
        for (const auto& code : stored[officer])
            table.rows.push_back({QVariant(officer), QVariant(code)});
        reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), table});
        return reply;
    });
    MessageBus::Instance().setTransport(transport);
    hostWindow.setProperty("Tag", QStringLiteral("SEC1"));
    hostWindow.setProperty("Caption", QStringLiteral("Security Administration"));
    container.setProperty("Parent", QVariant::fromValue<QObject*>(&hostWindow));
    doc = new ZavekSecurity(DocumentContext{fake.platform()});
    doc->SetContainer(&container);
    ErrorLogger::Instance().clearRecent();
}

DocumentTest::~DocumentTest() {
    doc->Release();
    MessageBus::Instance().setTransport(nullptr);
    MessageBus::Instance().setTimeoutMs(30000);
    ReplyStore::Instance().clear();
    SessionInfo::Instance().clear();
}

void DocumentTest::deliver() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void DocumentTest::showOfficer(const QString& id, const QString& name) {
    doc->exchange().ZAVEK_OfficerSelect1_OfficerSelected(id);
    deliver();
    doc->state().msOfficerName = name;
}

int DocumentTest::row(int list, const QString& code) {
    GroupListModel& model = doc->rules().list(list);
    for (int r = 0; r < model.count(); ++r)
        if (model.item(r).code == code)
            return r;
    ADD_FAILURE() << "no item " << code.toStdString();
    return 0;
}

bool DocumentTest::checked(int list, const QString& code) {
    return doc->rules().list(list).item(row(list, code)).checked;
}

void DocumentTest::tick(int list, const QString& code, bool value) {
    doc->rules().list(list).setChecked(row(list, code), value);
    doc->rules().lvOfficerGroups_Click(static_cast<std::int16_t>(list));
}

} // namespace zavek::testing
