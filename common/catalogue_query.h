#pragma once
#include <QString>

namespace zavek {

// The text of the catalogue query for a region (trimmed and upper-cased by the caller).
QString catalogueQuery(const QString& region);

} // namespace zavek
