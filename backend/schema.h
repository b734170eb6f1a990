#pragma once
#include <QSqlDatabase>

namespace zavek::backend {

inline constexpr int kSchemaVersion = 1;

// Applies the migrations this database lacks, each in its own transaction; returns the
// version reached. A database made by a newer version is refused.
int migrate(QSqlDatabase& db);
int schemaVersion(QSqlDatabase& db); // 0 for an empty database

} // namespace zavek::backend
