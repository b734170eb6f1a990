#include "backend/demo_data.h"

#include "backend/database.h"
#include "backend/password.h"
#include "backend/schema.h"
#include "backend/sql.h"

#include <QSet>
#include <QStringList>

#include <array>
#include <cstdint>
#include <utility>

namespace zavek::backend {

namespace {

struct Entry {
    const char* code;
    const char* description;
};

constexpr std::array kGroups{
    Entry{"CFR", "Case File Read"},
    Entry{"CFU", "Case File Update"},
    Entry{"CFD", "Case File Delete"},
    Entry{"ELA", "Evidence Locker Access"},
    Entry{"ELM", "Evidence Locker Manager"},
    Entry{"WAP", "Warrant Approval"},
    Entry{"WRQ", "Warrant Request"},
    Entry{"ARV", "Audit Report Viewer"},
    Entry{"ARE", "Audit Report Export"},
    Entry{"PSR", "Personnel Record Read"},
    Entry{"PSU", "Personnel Record Update"},
    Entry{"VHR", "Vehicle Register Read"},
    Entry{"VHU", "Vehicle Register Update"},
    Entry{"INT", "Intelligence Bulletin Read"},
    Entry{"INP", "Intelligence Bulletin Publish"},
    Entry{"SUR", "Surveillance Log Access"},
    Entry{"ARM", "Armoury Issue"},
    Entry{"DTN", "Detention Register"},
    Entry{"IMG", "Image Archive Access"},
    Entry{"FIN", "Seized Funds Ledger"},
    Entry{"TRV", "Travel Booking"},
    Entry{"OVT", "Overtime Approval"},
    Entry{"RST", "Roster Planning"},
    Entry{"TRN", "Training Records"},
    Entry{"CMP", "Complaint Handling"},
    Entry{"FOI", "Information Request Handling"},
    Entry{"LIA", "Liaison Contacts"},
    Entry{"RAD", "Radio Channel Administration"},
    Entry{"KEY", "Building Key Issue"},
    Entry{"SYS", "System Configuration"},
};

struct Region {
    const char* code;
    const char* prefix;
    const char* adminId;
    const char* adminName;
    std::array<Entry, 5> agencies;
};

const std::array kRegions{
    Region{"NW",
           "NW",
           "admin",
           "Demo Administrator",
           {Entry{"BIS", "Border Inspection Service"}, Entry{"CUS", "Customs Enforcement"},
            Entry{"MPU", "Maritime Patrol Unit"}, Entry{"FRD", "Fraud Directorate"},
            Entry{"", ""}}},
    Region{"SE",
           "SE",
           "admin.se",
           "South-East Administrator",
           {Entry{"BIS", "Border Inspection Service"}, Entry{"HPS", "Harbour Police Service"},
            Entry{"ENV", "Environmental Crime Office"}, Entry{"FRD", "Fraud Directorate"},
            Entry{"TAX", "Tax Investigation Office"}}},
    Region{"CENTRAL",
           "CE",
           "admin.central",
           "Central Administrator",
           {Entry{"NCA", "National Crime Agency"}, Entry{"FRD", "Fraud Directorate"},
            Entry{"CYB", "Cyber Crime Centre"}, Entry{"WPS", "Witness Protection Service"},
            Entry{"", ""}}},
    Region{"NORTH",
           "NO",
           "admin.north",
           "North Administrator",
           {Entry{"BIS", "Border Inspection Service"}, Entry{"MTS", "Mountain Rescue Service"},
            Entry{"RPU", "Rail Police Unit"}, Entry{"FOR", "Forestry Enforcement"},
            Entry{"NCA", "National Crime Agency"}}},
};

constexpr std::array kFirstNames{"Amelia", "Bruno",   "Chiara", "Dmitri",  "Elena",   "Farid",
                                 "Grace",  "Hiro",    "Ingrid", "Jonas",   "Kalinda", "Liam",
                                 "Marta",  "Nikolai", "Olivia", "Pavel",   "Quinn",   "Rosa",
                                 "Samir",  "Tamsin",  "Ulrich", "Vera",    "Wei",     "Ximena",
                                 "Yusuf",  "Zofia",   "Anders", "Beatriz", "Connor",  "Dalia"};
constexpr std::array kLastNames{
    "Abernathy", "Bergström", "Castellano", "Dubois",    "Eriksen",   "Fitzgerald", "García",
    "Halvorsen", "Ivanova",   "Jankowski",  "Kowalczyk", "Lindqvist", "Moreau",     "Nakamura",
    "O'Brien",   "Petrov",    "Quintero",   "Rasmussen", "Santos",    "Thornton",   "Uchida",
    "Varga",     "Whitfield", "Xu",         "Yilmaz",    "Zimmermann"};

constexpr int kOfficersPerRegion = 75;

// A fixed linear congruential generator: the demo is the same on every machine.
class Sequence {
public:
    std::uint32_t next(std::uint32_t bound) {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33) % bound;
    }

private:
    std::uint64_t state_ = 20261206;
};

void seed(QSqlDatabase& db, const std::function<void(int, int)>& progress) {
    const QString adminHash = hashPassword(QString::fromLatin1(kDemoAdminPassword));
    const QString officerHash = hashPassword(QStringLiteral("officer-demo"));
    QSqlQuery findGroup =
        prepare(db, QStringLiteral("SELECT 1 FROM VRD_GROUP WHERE REGION = ? AND GRP_CD = ?"));
    QSqlQuery addGroup = prepare(
        db, QStringLiteral(
                "INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) VALUES (?, ?, ?, ?)"));
    QSqlQuery findAdmin =
        prepare(db, QStringLiteral("SELECT 1 FROM ADMINISTRATOR WHERE ADMIN_ID = ?"));
    QSqlQuery addAdmin =
        prepare(db, QStringLiteral("INSERT INTO ADMINISTRATOR (ADMIN_ID, ADMIN_NAME, REGION, "
                                   "PWD_HASH) VALUES (?, ?, ?, ?)"));
    QSqlQuery addOfficer =
        prepare(db, QStringLiteral("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, PWD_HASH, "
                                   "MUST_CHANGE_PWD) VALUES (?, ?, ?, ?, 0)"));
    QSqlQuery addMembership =
        prepare(db, QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));

    auto ensureGroup = [&](const QString& region, const char* type, const Entry& e) {
        run(findGroup, {region, QString::fromUtf8(e.code)});
        const bool present = findGroup.next();
        findGroup.finish();
        if (!present)
            run(addGroup, {region, QString::fromLatin1(type), QString::fromUtf8(e.code),
                           QString::fromUtf8(e.description)});
    };

    Sequence random;
    const int total = static_cast<int>(kRegions.size()) * kOfficersPerRegion;
    int done = 0;
    for (std::size_t r = 0; r < kRegions.size(); ++r) {
        const Region& region = kRegions[r];
        const QString regionCode = QString::fromLatin1(region.code);
        // Each region leaves out a different handful of groups, so catalogues differ.
        QList<Entry> groups;
        for (std::size_t g = 0; g < kGroups.size(); ++g)
            if ((g + r) % 7 != 0 || g < 4)
                groups << kGroups[g];
        QList<Entry> agencies;
        for (const Entry& a : region.agencies)
            if (*a.code)
                agencies << a;
        for (const Entry& g : groups)
            ensureGroup(regionCode, "P", g);
        for (const Entry& a : agencies)
            ensureGroup(regionCode, "A", a);

        run(findAdmin, {QString::fromLatin1(region.adminId)});
        const bool adminPresent = findAdmin.next();
        findAdmin.finish();
        if (!adminPresent)
            run(addAdmin, {QString::fromLatin1(region.adminId), QString::fromUtf8(region.adminName),
                           regionCode, adminHash});

        for (int i = 0; i < kOfficersPerRegion; ++i) {
            const QString id =
                QStringLiteral("%1%2")
                    .arg(QString::fromLatin1(region.prefix))
                    .arg(100 + i * 7 + static_cast<int>(random.next(7)), 5, 10, QLatin1Char('0'));
            const QString name = QStringLiteral("%1 %2").arg(
                QString::fromUtf8(kFirstNames[random.next(kFirstNames.size())]),
                QString::fromUtf8(kLastNames[random.next(kLastNames.size())]));
            run(addOfficer, {id, name, regionCode, officerHash});
            const int count = 3 + static_cast<int>(random.next(13));
            QSet<int> chosen;
            while (chosen.size() < count)
                chosen.insert(
                    static_cast<int>(random.next(static_cast<std::uint32_t>(groups.size()))));
            for (int g : chosen)
                run(addMembership, {id, QString::fromUtf8(groups[g].code)});
            run(addMembership,
                {id, QString::fromUtf8(
                         agencies[random.next(static_cast<std::uint32_t>(agencies.size()))].code)});
            ++done;
            if (progress)
                progress(done, total);
        }
    }
}

} // namespace

bool seedDemoData(QSqlDatabase& db, const std::function<void(int done, int total)>& progress) {
    migrate(db);
    bool seeded = false;
    runInTransaction(db, [&] {
        seeded = false;
        if (scalar(db, QStringLiteral("SELECT COUNT(*) FROM OFFICER")).toInt() > 0)
            return;
        seed(db, progress);
        seeded = true;
    });
    return seeded;
}

} // namespace zavek::backend
