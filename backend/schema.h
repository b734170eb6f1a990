#pragma once
#include <QSqlDatabase>

namespace zavek::backend {

inline constexpr int kSchemaVersion = 4;

// Applies the versioned migrations this build knows, in order, each in its own transaction.
// Returns how many were applied (0 when the database is current). A database of a newer
// version throws Failure. upTo stops at an older version (for upgrade tests).
int migrate(QSqlDatabase& db, int upTo = kSchemaVersion);

// The version the database is at; 0 for an empty database.
int schemaVersion(const QSqlDatabase& db);

} // namespace zavek::backend
