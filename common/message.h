#pragma once
// Request and reply messages: plain values that a transport moves across a thread, a
// process or a socket.

#include "common/record_table.h"

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace zavek {

// Message types. The screen's own requests are retrieval and save; the others are the reads a
// shell needs at once when its back end is behind a server.
namespace message_types {
inline constexpr std::int32_t kRetrieval = 2;
inline constexpr std::int32_t kSave = 3;
// An officer's audit entries, authorised as a retrieval is.
inline constexpr std::int32_t kHistory = 4;
inline constexpr std::int32_t kSignIn = 10;
inline constexpr std::int32_t kSignOut = 11;
inline constexpr std::int32_t kCatalogueRead = 12;
inline constexpr std::int32_t kOfficerSearch = 13;
} // namespace message_types

struct Criteria {
    QString systemName;
    QString fieldName;
    QString op;
    QString value;
    bool operator==(const Criteria&) const = default;
};

struct NamedTable {
    QString name;
    TableData table;
    bool operator==(const NamedTable&) const = default;
};

struct MessageData {
    QString replyTo;
    QString clientVersion;
    std::int32_t messageType = 0;
    QString sessionId;
    QString messageId;
    std::vector<Criteria> criteria;
    std::vector<NamedTable> tables;
    // Replies only: empty when the request succeeded; otherwise a text for the administrator.
    QString errorText;

    const TableData* table(const QString& name) const; // case ignored; nullptr when absent
    bool operator==(const MessageData&) const = default;
};

class KelbCriteria {
public:
    void SystemName(const QString& v) { data_.systemName = v; }
    void FieldName(const QString& v) { data_.fieldName = v; }
    void Operator(const QString& v) { data_.op = v; }
    void Value(const QString& v) { data_.value = v; }
    const Criteria& data() const { return data_; }

private:
    Criteria data_;
};

// A request: gets a fresh identifier when it is made; Send hands a copy to the shared bus.
class KelbMessage {
public:
    KelbMessage();

    void ReplyTo(const QString& v) { data_.replyTo = v; }
    void ClientVersion(const QString& v) { data_.clientVersion = v; }
    void MessageType(std::int32_t v) { data_.messageType = v; }
    void SessionId(const QString& v) { data_.sessionId = v; }
    QString MessageId() const { return data_.messageId; }
    void MessageId(const QString& v) { data_.messageId = v; }

    void AddCriteria(KelbCriteria criteria) { data_.criteria.push_back(criteria.data()); }
    void AddTable(const RecordTable& table, const QString& name);
    void Send() const;

    const MessageData& data() const { return data_; }

private:
    MessageData data_;
};

QString newMessageId();

} // namespace zavek
