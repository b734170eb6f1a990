// zavek_kill_saver LOCATION OFFICERS TOKEN: saves random changes to the officers KILL000.. of
// region NW in a loop until it is killed (argument TOKEN: the session); prints "saved" after each
// save.

#include "backend/request_processor.h"
#include "tests/postgres/test_database.h"

#include <QCoreApplication>

#include <cstdio>
#include <random>

using namespace zavek::testing;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Connection c(QString::fromLocal8Bit(argv[1]));
    const QStringList agencies = catalogueCodes(c.db(), "A"), groups = catalogueCodes(c.db(), "P");
    zavek::backend::RequestProcessor processor(c.db());
    std::mt19937 random(std::random_device{}());
    auto pick = [&](qsizetype n) { return qsizetype(random() % n); };
    for (;;) {
        const QString officer = QString("KILL%1").arg(pick(std::atoi(argv[2])), 3, 10, QChar('0'));
        const auto held = heldInReply(
            processor.process(retrievalRequest(QString::fromLocal8Bit(argv[3]), officer)));
        // Many rows per save, so that a kill often lands inside a transaction; the agency is
        // changed by removing the held one and adding another.
        std::vector<Change> changes;
        for (int t = 0; t < 8; ++t)
            if (const QString code = groups[pick(groups.size())]; std::none_of(
                    changes.begin(), changes.end(), [&](auto& ch) { return ch.first == code; }))
                changes.push_back({code, held.contains(code) ? "DEL" : "ADD"});
        if (const QString agency = agencies[pick(agencies.size())]; !held.contains(agency)) {
            for (const auto& code : held)
                if (agencies.contains(code))
                    changes.push_back({code, "DEL"});
            changes.push_back({agency, "ADD"});
        }
        processor.process(saveRequest(QString::fromLocal8Bit(argv[3]), officer, changes));
        std::puts("saved"), std::fflush(stdout);
    }
}
