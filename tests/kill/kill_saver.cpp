// zavek_kill_saver LOCATION: saves random changes to the officers KILL000.. of region NW in
// a loop until it is killed, as the kill harness needs. The session token comes from
// ZAVEK_KILL_TOKEN. Prints "ready" once the first save is answered.

#include "backend/database.h"
#include "backend/request_processor.h"
#include "common/message.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <cstdio>
#include <random>
#include <set>

using namespace zavek;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: zavek_kill_saver LOCATION OFFICERS\n");
        return 2;
    }
    const QString location = QString::fromLocal8Bit(argv[1]);
    const int officers = std::atoi(argv[2]);
    const QString token = qEnvironmentVariable("ZAVEK_KILL_TOKEN");
    QSqlDatabase db = backend::openDatabase(location, QStringLiteral("saver"));
    QStringList agencies;
    QStringList groups;
    QSqlQuery catalogue(db);
    catalogue.exec(QStringLiteral("SELECT GRP_TYP_CD, GRP_CD FROM VRD_GROUP WHERE REGION = 'NW' "
                                  "ORDER BY GRP_CD"));
    while (catalogue.next())
        (catalogue.value(0).toString() == u"A" ? agencies : groups)
            << catalogue.value(1).toString();
    if (agencies.isEmpty() || groups.isEmpty() || officers < 1) {
        std::fprintf(stderr, "zavek_kill_saver: no catalogue for region NW in %s\n", argv[1]);
        return 1;
    }
    backend::RequestProcessor processor(db);
    std::mt19937 random(std::random_device{}());
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (bool first = true;; first = false) {
        const QString officer =
            QStringLiteral("KILL%1").arg(pick(officers), 3, 10, QLatin1Char('0'));
        MessageData m;
        m.replyTo = QStringLiteral("kill-saver");
        m.messageType = 2;
        m.sessionId = token;
        m.messageId = newMessageId();
        m.criteria.push_back({QStringLiteral("QUILLMOR"), QStringLiteral("key:INSP_ID"),
                              QStringLiteral("="), officer});
        std::set<QString> held;
        const MessageData shown = processor.process(m);
        if (const TableData* t = shown.table(QStringLiteral("OFFICERGROUP")))
            for (const auto& row : t->rows)
                held.insert(row[1].toString());
        TableData changes;
        changes.fields = QStringList{QStringLiteral("GRP_CD"), QStringLiteral("INSP_ID"),
                                     QStringLiteral("ACTION")};
        auto change = [&](const QString& code, bool add) {
            changes.rows.push_back(
                {code, officer, add ? QStringLiteral("ADD") : QStringLiteral("DEL")});
        };
        // Many rows per save, so that a kill often lands inside a transaction.
        std::set<QString> touched;
        for (int t = 0; t < 8; ++t) {
            const QString code = groups[pick(static_cast<int>(groups.size()))];
            if (touched.insert(code).second)
                change(code, !held.contains(code));
        }
        const QString agency = agencies[pick(static_cast<int>(agencies.size()))];
        if (!held.contains(agency)) {
            for (const auto& code : held)
                if (agencies.contains(code))
                    change(code, false);
            change(agency, true);
        }
        m.messageType = 3;
        m.criteria.clear();
        m.tables = {{QStringLiteral("OFFICERGROUP"), changes}};
        processor.process(m);
        if (first) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
