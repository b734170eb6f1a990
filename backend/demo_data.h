#pragma once
#include <QSqlDatabase>

#include <functional>

namespace zavek::backend {

inline constexpr const char* kDemoAdminId = "admin";
inline constexpr const char* kDemoAdminPassword = "zavek-demo";
inline constexpr const char* kDemoRegion = "NW";

// Fills an empty database (no officers) with the demo catalogue, officers and administrators;
// returns true when it did. The same data every time.
bool seedDemoData(QSqlDatabase& db, const std::function<void(int done, int total)>& progress = {});

} // namespace zavek::backend
