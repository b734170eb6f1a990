#pragma once
#include <QString>
#include <QStringList>

#include <vector>

namespace zavek::admin {

// Rows under a header, each column as wide as its widest cell, the header underlined.
QString formatTextTable(const QStringList& header, const std::vector<QStringList>& rows);

} // namespace zavek::admin
