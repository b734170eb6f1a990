#include "common/catalogue_query.h"

namespace zavek {

namespace {
// The one place in the system where SQL text is built from a value. The value goes in as an
// SQL string literal with every single quote doubled, so whatever the region holds it stays
// a literal and cannot change the statement.
QString quotedLiteral(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
} // namespace

QString catalogueQuery(const QString& region) {
    return QStringLiteral("Select * from ") + QStringLiteral("VRD_GROUP") +
           QStringLiteral(" Where ") + QStringLiteral("REGION") + QLatin1Char('=') +
           quotedLiteral(region) + QStringLiteral(" ") + QStringLiteral(" order by ") +
           QStringLiteral("GRP_TYP_CD") + QStringLiteral(", ") + QStringLiteral("GRP_DES");
}

} // namespace zavek
