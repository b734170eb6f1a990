// zavek_kill_saver LOCATION OFFICERS: saves random changes to the officers KILL000.. of region
// NW in a loop until it is killed, as the kill harness needs. The session token comes from
// ZAVEK_KILL_TOKEN. Prints "ready" once the first save is answered.

#include "backend/request_processor.h"
#include "tests/postgres/test_database.h"

#include <QCoreApplication>

#include <cstdio>
#include <random>

using namespace Qt::Literals::StringLiterals;

using namespace zavek;
using namespace zavek::testing;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int officers = argc < 3 ? 0 : std::atoi(argv[2]);
    const QString token = qEnvironmentVariable("ZAVEK_KILL_TOKEN");
    Connection c(QString::fromLocal8Bit(argc < 2 ? "" : argv[1]));
    const QStringList agencies = catalogueCodes(c.db(), u"A"_s);
    const QStringList groups = catalogueCodes(c.db(), u"P"_s);
    if (agencies.isEmpty() || groups.isEmpty() || officers < 1) {
        std::fprintf(stderr, "usage: zavek_kill_saver LOCATION OFFICERS, with a catalogue for "
                             "region NW at LOCATION\n");
        return 2;
    }
    backend::RequestProcessor processor(c.db());
    std::mt19937 random(std::random_device{}());
    auto pick = [&](qsizetype n) {
        return std::uniform_int_distribution<qsizetype>(0, n - 1)(random);
    };
    for (bool first = true;; first = false) {
        const QString officer = u"KILL%1"_s.arg(pick(officers), 3, 10, QLatin1Char('0'));
        const std::set<QString> held =
            heldInReply(processor.process(retrievalRequest(token, officer)));
        // Many rows per save, so that a kill often lands inside a transaction.
        std::vector<Change> changes;
        std::set<QString> touched;
        for (int t = 0; t < 8; ++t)
            if (const QString code = groups[pick(groups.size())]; touched.insert(code).second)
                changes.push_back({code, held.contains(code) ? "DEL" : "ADD"});
        if (const QString agency = agencies[pick(agencies.size())]; !held.contains(agency)) {
            for (const auto& code : held)
                if (agencies.contains(code))
                    changes.push_back({code, "DEL"});
            changes.push_back({agency, "ADD"});
        }
        processor.process(saveRequest(token, officer, changes));
        if (first) {
            std::puts("ready");
            std::fflush(stdout);
        }
    }
}
