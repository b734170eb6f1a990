#include "backend/demo_data.h"

#include "backend/authenticator.h"
#include "backend/database.h"
#include "common/failure.h"

#include <QSqlError>
#include <QSqlQuery>

#include <array>
#include <random>
#include <vector>

namespace zavek::backend {

namespace {

struct Entry {
    const char* code;
    const char* description;
};

constexpr std::array<Entry, 32> kGroups{{
    {"CFR", "Case File Read"},
    {"CFU", "Case File Update"},
    {"CFC", "Case File Close"},
    {"EVL", "Evidence Locker Access"},
    {"EVT", "Evidence Transfer"},
    {"WAP", "Warrant Approval"},
    {"WRQ", "Warrant Request"},
    {"ARV", "Audit Report Viewer"},
    {"ARX", "Audit Report Export"},
    {"INS", "Inspection Scheduling"},
    {"INR", "Inspection Results Entry"},
    {"VHR", "Vehicle Register Search"},
    {"PRS", "Person Register Search"},
    {"CMP", "Complaint Intake"},
    {"CMR", "Complaint Review"},
    {"FIN", "Fines and Penalties"},
    {"FRF", "Fine Refunds"},
    {"SZR", "Seizure Records"},
    {"INT", "Intelligence Notes Read"},
    {"INW", "Intelligence Notes Write"},
    {"TRN", "Training Records"},
    {"RST", "Duty Roster Planning"},
    {"OVT", "Overtime Approval"},
    {"FLD", "Field Device Enrolment"},
    {"RAD", "Radio Log Access"},
    {"DET", "Detention Log"},
    {"IMG", "Image Archive"},
    {"STA", "Statistics Dashboard"},
    {"PUB", "Public Enquiries"},
    {"LGL", "Legal Hold Management"},
    {"CRT", "Court Liaison"},
    {"SYS", "System Configuration"},
}};

constexpr std::array<Entry, 6> kAgencies{{
    {"BIS", "Border Inspection Service"},
    {"CIU", "Customs Investigation Unit"},
    {"FSA", "Food Safety Authority"},
    {"TRI", "Transport Inspectorate"},
    {"ENV", "Environmental Enforcement"},
    {"LAB", "Labour Standards Office"},
}};

constexpr std::array<const char*, 4> kRegions{{"NW", "SE", "CENTRAL", "NORTH"}};

constexpr std::array<const char*, 40> kFirst{{
    "Ann",     "Bo",     "Carla",    "Deniz",   "Emeka", "Fatima", "Gustav",  "Hana",
    "Ivan",    "Jolene", "Kwame",    "Leila",   "Marek", "Nadia",  "Oscar",   "Priya",
    "Quentin", "Rosa",   "Samir",    "Tamsin",  "Ugo",   "Vera",   "Wendell", "Xiomara",
    "Yusuf",   "Zofia",  "Alistair", "Bronwen", "Chidi", "Dagny",  "Eitan",   "Freya",
    "Goran",   "Hiroko", "Imogen",   "Jarrah",  "Katja", "Lorcan", "Mirela",  "Niamh",
}};

constexpr std::array<const char*, 40> kLast{{
    "Smith",     "Lee",        "Okafor",     "Novak",     "Haddad",   "Lindqvist",  "Moreau",
    "Kowalski",  "Nakamura",   "O'Brien",    "Petrov",    "Quinn",    "Rahman",     "Santos",
    "Tremblay",  "Usman",      "Varga",      "Whitaker",  "Xu",       "Yilmaz",     "Zimmermann",
    "Abara",     "Brennan",    "Castellano", "Dimitriou", "Eriksen",  "Fitzgerald", "Gallagher",
    "Horvath",   "Ibrahim",    "Jovanovic",  "Kaur",      "Lachance", "MacLeod",    "Nwosu",
    "Ostrowski", "Pellegrini", "Rossi",      "Sorensen",  "Tanaka",
}};

constexpr int kOfficersPerRegion = 80;

void run(QSqlQuery& q) {
    if (!q.exec())
        fail(codes::kDatabase,
             QStringLiteral("Creating the demo data failed: %1").arg(q.lastError().text()));
}

bool hasOfficers(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM OFFICER")) || !q.next())
        fail(codes::kDatabase,
             QStringLiteral("Cannot read the officer table: %1").arg(q.lastError().text()));
    return q.value(0).toInt() > 0;
}
} // namespace

bool seedDemoData(QSqlDatabase& db, const std::function<void(int, int)>& progress) {
    if (hasOfficers(db))
        return false;
    const int total = static_cast<int>(kRegions.size()) * kOfficersPerRegion;
    // One hash for all demo officers: hashing hundreds would make the first start slow.
    const QString officerHash = hashPassword(QStringLiteral("officer-demo"));
    std::mt19937 random(20261206u);

    runInTransaction(db, [&] {
        QSqlQuery group(db);
        group.prepare(QStringLiteral(
            "INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) VALUES (?, ?, ?, ?)"));
        QSqlQuery officer(db);
        officer.prepare(QStringLiteral("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION,"
                                       " PWD_HASH, MUST_CHANGE_PWD) VALUES (?, ?, ?, ?, 0)"));
        QSqlQuery member(db);
        member.prepare(QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));

        int done = 0;
        for (std::size_t r = 0; r < kRegions.size(); ++r) {
            const QString region = QString::fromLatin1(kRegions[r]);
            // Regions differ a little: each leaves out a few groups and one agency.
            std::vector<QString> groups;
            for (std::size_t g = 0; g < kGroups.size(); ++g) {
                if ((g + r) % 7 == 3)
                    continue;
                groups.push_back(QString::fromLatin1(kGroups[g].code));
                for (const QVariant& v :
                     {QVariant(region), QVariant(QStringLiteral("P")), QVariant(groups.back()),
                      QVariant(QString::fromLatin1(kGroups[g].description))})
                    group.addBindValue(v);
                run(group);
            }
            std::vector<QString> agencies;
            for (std::size_t a = 0; a < kAgencies.size(); ++a) {
                if (a == (r + 2) % kAgencies.size())
                    continue;
                agencies.push_back(QString::fromLatin1(kAgencies[a].code));
                for (const QVariant& v :
                     {QVariant(region), QVariant(QStringLiteral("A")), QVariant(agencies.back()),
                      QVariant(QString::fromLatin1(kAgencies[a].description))})
                    group.addBindValue(v);
                run(group);
            }
            for (int i = 0; i < kOfficersPerRegion; ++i) {
                const QString id = QStringLiteral("%1%2")
                                       .arg(region.left(2))
                                       .arg(100 + i * 7, 5, 10, QLatin1Char('0'));
                const QString name = QString::fromLatin1(kFirst[random() % kFirst.size()]) +
                                     QLatin1Char(' ') +
                                     QString::fromLatin1(kLast[random() % kLast.size()]);
                officer.addBindValue(id);
                officer.addBindValue(name);
                officer.addBindValue(region);
                officer.addBindValue(officerHash);
                run(officer);
                std::vector<QString> pool = groups;
                std::shuffle(pool.begin(), pool.end(), random);
                const std::size_t count = 3 + random() % 13;
                for (std::size_t k = 0; k < count && k < pool.size(); ++k) {
                    member.addBindValue(id);
                    member.addBindValue(pool[k]);
                    run(member);
                }
                member.addBindValue(id);
                member.addBindValue(agencies[random() % agencies.size()]);
                run(member);
                if (progress)
                    progress(++done, total);
            }
        }
        addAdministrator(db, QString::fromLatin1(kDemoAdminId),
                         QStringLiteral("Demo Administrator (NW)"), QStringLiteral("NW"),
                         QString::fromLatin1(kDemoAdminPassword));
        for (const char* region : {"SE", "CENTRAL", "NORTH"}) {
            const QString r = QString::fromLatin1(region);
            addAdministrator(db, QStringLiteral("admin.") + r.toLower(),
                             QStringLiteral("Demo Administrator (%1)").arg(r), r,
                             QString::fromLatin1(kDemoAdminPassword));
        }
    });
    return true;
}

} // namespace zavek::backend
