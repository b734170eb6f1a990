#include "tests/exchange/exchange_fixture.h"

#include "groups/document_state.h"

#include <QCoreApplication>

namespace zavek::testing {

ExchangeTest::ExchangeTest() {
    db.exec({
        QStringLiteral(
            "CREATE TABLE VRD_GROUP (REGION TEXT, GRP_TYP_CD TEXT, GRP_CD TEXT, GRP_DES TEXT)"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','P','CFR','Case File Read')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','P','CFU','Case File Update')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','P','WAP','Warrant Approval')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','A','BIS','Border Inspection Service')"),
        QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW','A','CUS','Customs Investigation')"),
    });
    SessionInfo::Instance().establish(QStringLiteral("session-1"), QStringLiteral("NW"),
                                      db.connectionName());
    state.msWindowTag = QStringLiteral("SEC1");
    state.msWindowCaption = QStringLiteral("Security Administration");
    state.documentIdentity = QStringLiteral("ZAVEK_Security/test");

    const DocumentServices services{
        state, form, fake.platform(),
        TrapContext{QStringLiteral("SCR.ZAVEK_SecurityAdmin"), QStringLiteral("ZAVEK_Security.")}};
    rules = std::make_unique<GroupRules>(services, groups, agencies, geometry);
    exchange = std::make_unique<OfficerExchange>(services, *rules);
    form.onResetChanged = [this] { rules->chkResetPassword_Click(); };
    rules->InitializeListView();

    transport = std::make_shared<LoopbackTransport>();
    transport->setResponder([this](const MessageData& request) -> std::optional<MessageData> {
        QString officer;
        if (request.messageType == 2) {
            officer = request.criteria.at(0).value;
        } else {
            const TableData* changes = request.table(QStringLiteral("OFFICERGROUP"));
            if (changes && !changes->rows.empty())
                officer = changes
                              ->rows[0][static_cast<std::size_t>(
                                  changes->fieldIndex(QStringLiteral("INSP_ID")))]
                              .toString();
        }
        MessageData reply = LoopbackTransport::replyTo(request);
        if (request.messageType == 3) {
            reply.errorText = saveError;
            if (saveError.isEmpty() && request.table(QStringLiteral("OFFICERGROUP"))) {
                const TableData& t = *request.table(QStringLiteral("OFFICERGROUP"));
                for (const auto& r : t.rows) {
                    const QString code =
                        r[static_cast<std::size_t>(t.fieldIndex(QStringLiteral("GRP_CD")))]
                            .toString();
                    const QString action =
                        r[static_cast<std::size_t>(t.fieldIndex(QStringLiteral("ACTION")))]
                            .toString();
                    if (action == QLatin1String("ADD"))
                        stored[officer].append(code);
                    else
                        stored[officer].removeAll(code);
                }
            }
        }
        TableData table;
        table.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
        for (const auto& code : stored[officer])
            table.rows.push_back({QVariant(officer), QVariant(code)});
        reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), table});
        return reply;
    });
    MessageBus::Instance().setTransport(transport);
    KelbListener* listener = KelbListener::Instance();
    readyConnection =
        QObject::connect(listener, &KelbListener::DataReady,
                         [this](const QString& r) { exchange->moKelbMessage_DataReady(r); });
    timeoutConnection =
        QObject::connect(listener, &KelbListener::MsgTimeout,
                         [this](const QVariant& v) { exchange->moKelbMessage_MsgTimeout(v); });
    ErrorLogger::Instance().clearRecent();
}

ExchangeTest::~ExchangeTest() {
    QObject::disconnect(readyConnection);
    QObject::disconnect(timeoutConnection);
    MessageBus::Instance().setTransport(nullptr);
    ReplyStore::Instance().clear();
    SessionInfo::Instance().clear();
}

void ExchangeTest::deliver() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void ExchangeTest::pick(const QString& id, const QString& name) {
    form.officerName = name;
    exchange->ZAVEK_OfficerSelect1_OfficerSelected(id);
}

int ExchangeTest::row(int list, const QString& code) const {
    const GroupListModel& model = list == 0 ? groups : agencies;
    for (int r = 0; r < model.count(); ++r)
        if (model.item(r).code == code)
            return r;
    ADD_FAILURE() << "no item " << code.toStdString() << " in list " << list;
    return 0;
}

bool ExchangeTest::checked(int list, const QString& code) const {
    return (list == 0 ? groups : agencies).item(row(list, code)).checked;
}

bool ExchangeTest::tag(int list, const QString& code) const {
    return (list == 0 ? groups : agencies).item(row(list, code)).tag;
}

void ExchangeTest::tick(int list, const QString& code, bool value) {
    (list == 0 ? groups : agencies).setChecked(row(list, code), value);
    rules->lvOfficerGroups_Click(static_cast<std::int16_t>(list));
}

QStringList ExchangeTest::rows(const MessageData& message, const QString& name) {
    QStringList out;
    const TableData* table = message.table(name);
    if (!table)
        return out;
    for (const auto& r : table->rows) {
        QStringList cells;
        for (const auto& v : r)
            cells << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

} // namespace zavek::testing
