#pragma once
#include <QSqlDatabase>

namespace zavek::backend {

inline constexpr int kSchemaVersion = 1;

// Applies the versioned migrations this build knows, in order, each in its own transaction.
// Returns how many were applied (0 when the database is current). A database of a newer
// version throws Failure.
int migrate(QSqlDatabase& db);

// The version the database is at; 0 for an empty database.
int schemaVersion(const QSqlDatabase& db);

} // namespace zavek::backend
