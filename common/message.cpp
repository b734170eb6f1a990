#include "common/message.h"

#include "common/failure.h"
#include "common/message_bus.h"

#include <QUuid>

namespace zavek {

const TableData* MessageData::table(const QString& name) const {
    for (const auto& t : tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t.table;
    return nullptr;
}

// Random 122-bit identifiers: unique across processes and restarts without coordination.
QString newMessageId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

KelbMessage::KelbMessage() {
    data_.messageId = newMessageId();
}

void KelbMessage::AddTable(const RecordTable& table, const QString& name) {
    if (!table.isOpen())
        fail(codes::kInvalidArgument,
             QStringLiteral("Table \"%1\" must be opened before it is attached.").arg(name));
    data_.tables.push_back(NamedTable{name, table.data()});
}

void KelbMessage::Send() const {
    MessageBus::Instance().send(data_);
}

} // namespace zavek
