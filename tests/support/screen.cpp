#include "tests/support/screen.h"

#include "toolbox/officer_result_model.h"
#include "toolbox/officer_select.h"

#include <QCoreApplication>
#include <QTreeView>

namespace zavek::testing {

Screen::Screen() {
    db.exec({QStringLiteral(
        "CREATE TABLE VRD_GROUP (REGION TEXT, GRP_TYP_CD TEXT, GRP_CD TEXT, GRP_DES TEXT)")});
    catalogue("NW,P,CFR,Case File Read;NW,P,CFU,Case File Update;NW,P,WAP,Warrant Approval;"
              "NW,A,BIS,Border Inspection Service;NW,A,CUS,Customs Investigation");
    SessionInfo::Instance().establish(QStringLiteral("session-1"), QStringLiteral("NW"),
                                      db.connectionName());
    transport->setResponder([this](const MessageData& request) -> std::optional<MessageData> {
        // Change rows are GRP_CD|INSP_ID|ACTION, the set-up row INSP_ID|INITIAL|ACTION.
        const QStringList changes = rows(request, QStringLiteral("OFFICERGROUP"));
        const QString officer =
            request.messageType == 2 ? request.criteria.at(0).value
            : changes.isEmpty() ? rows(request, QStringLiteral("SETUP")).value(0).section('|', 0, 0)
                                : changes[0].section('|', 1, 1);
        MessageData reply = LoopbackTransport::replyTo(request);
        reply.errorText = request.messageType == 3 ? saveError : retrievalError;
        for (const QString& change : reply.errorText.isEmpty() ? changes : QStringList()) {
            stored[officer].removeAll(change.section('|', 0, 0));
            if (change.endsWith(QLatin1String("|ADD")))
                stored[officer].append(change.section('|', 0, 0));
        }
        TableData table{{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")}, {}};
        for (const auto& code : stored[officer])
            table.rows.push_back({QVariant(officer), QVariant(code)});
        reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), table});
        return reply;
    });
    bus.setTransport(transport);
    hostWindow.setProperty("Tag", QStringLiteral("SEC1"));
    hostWindow.setProperty("Caption", QStringLiteral("Security Administration"));
    container.setProperty("Parent", QVariant::fromValue<QObject*>(&hostWindow));
    doc = new ZavekSecurity(DocumentContext{fake.platform()}, bus);
    doc->SetContainer(&container);
    for (int i = 0; i < 2; ++i)
        testers[i] = std::make_unique<QAbstractItemModelTester>(
            doc->form().model(kCheckLists[i]),
            QAbstractItemModelTester::FailureReportingMode::Fatal);
    ErrorLogger::Instance().clearRecent();
}

Screen::~Screen() {
    for (auto& t : testers)
        t.reset();
    doc->Release();
    ReplyStore::Instance().clear();
    SessionInfo::Instance().clear();
}

void Screen::catalogue(const char* rows) {
    QStringList statements{QStringLiteral("DELETE FROM VRD_GROUP")};
    for (const QString& row : QString::fromUtf8(rows).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        statements << QStringLiteral("INSERT INTO VRD_GROUP VALUES ('%1')")
                          .arg(QString(row).replace(QLatin1Char(','), QStringLiteral("','")))
                          .replace(QStringLiteral("'NULL'"), QStringLiteral("NULL"));
    db.exec(statements);
}

void Screen::deliver() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void Screen::pick(const QString& id, const QString& name) {
    auto* view = doc->form().officerSelect()->findChild<QTreeView*>();
    auto* results = static_cast<OfficerResultModel*>(view->model());
    results->setRows({OfficerRow{id, name}});
    emit view->doubleClicked(results->index(0, 0));
}

void Screen::tick(int list, const QString& code, bool value) {
    items(list).setChecked(row(list, code), value);
    emit doc->form().list(kCheckLists[list])->listClicked(static_cast<std::int16_t>(list));
}

int Screen::row(int list, const QString& code) {
    for (int r = 0; r < items(list).count(); ++r)
        if (items(list).item(r).code == code)
            return r;
    ADD_FAILURE() << "no item " << code.toStdString() << " in list " << list;
    return 0;
}

QString Screen::shown() {
    QString out = doc->form().caption()->text().remove(QStringLiteral("Current Officer : ")) + ':';
    for (int l : {0, 1})
        for (int r = 0; r < items(l).count(); ++r)
            if (const GroupListModel::Item i = items(l).item(r); i.checked || i.tag)
                out += QLatin1String(i.checked ? " " : " -") + i.code +
                       QLatin1String(i.checked != i.tag ? "*" : "");
    if (doc->form().resetPassword()->isChecked())
        out += QStringLiteral(" R");
    return out + QLatin1String(saveButton() == true ? " save" : "");
}

QStringList Screen::rows(const MessageData& message, const QString& name) {
    QStringList out;
    const TableData* table = message.table(name);
    for (std::size_t r = 0; table && r < table->rows.size(); ++r) {
        QStringList cells;
        for (const auto& v : table->rows[r])
            cells << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QString Screen::shellLog(bool statuses) const {
    QStringList out;
    for (const QString& entry : host.log)
        if (statuses || !entry.startsWith(QLatin1Char('[')))
            out << QString(entry).remove(QStringLiteral("@SEC1"));
    return out.join(QLatin1Char(' '));
}

QStringList Screen::logSources() {
    QStringList out;
    for (const auto& e : ErrorLogger::Instance().recent())
        out << e.source;
    return out;
}

} // namespace zavek::testing
