#pragma once
#include <QSqlDatabase>

#include <functional>

namespace zavek::backend {

inline constexpr const char* kDemoAdminId = "admin";
inline constexpr const char* kDemoAdminPassword = "zavek-demo";
inline constexpr const char* kDemoRegion = "NW";

// Seeds demo data when the database holds no officers; returns true when it seeded.
// Migrates the database first. progress(done, total) may be empty.
bool seedDemoData(QSqlDatabase& db, const std::function<void(int done, int total)>& progress = {});

} // namespace zavek::backend
