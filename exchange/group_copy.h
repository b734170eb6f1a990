#pragma once
// Copying another officer's security groups onto the shown officer's lists as pending edits:
// the other officer is picked, retrieved as any officer is, and the administrator chooses to
// add the groups or to replace the groups and agency. Only Save writes anything.

#include "exchange/officer_exchange.h"
#include "groups/document_state.h"
#include "groups/group_rules.h"

#include <QCoreApplication>
#include <QString>
#include <QVariant>

#include <deque>
#include <optional>

namespace zavek {

struct PickedOfficer {
    QString id;
    QString name;
};

// Lets the administrator pick an officer of the session's region; nothing when cancelled.
class IOfficerPicker {
public:
    virtual ~IOfficerPicker();
    virtual std::optional<PickedOfficer> pickOfficer(const QString& shownName) = 0;
};

class GroupCopy {
    Q_DECLARE_TR_FUNCTIONS(zavek::GroupCopy)

public:
    GroupCopy(DocumentServices services, GroupRules& rules, const OfficerExchange& exchange,
              IOfficerPicker& picker);

    // An officer is shown and no copy is waiting for its answer.
    bool available() const;
    void CopyGroupsFrom();
    // True when the reply or time-out belongs to a copy; it has then been dealt with and the
    // screen's other reply handling must not see it.
    bool takeReply(const QString& recipient);
    bool takeTimeout(const QVariant& messageId);
    // The copy waiting for its answer is given up: its answer, when it comes, is dropped.
    void abandon();

private:
    enum class Mode { Add, Replace };
    void finish(const QString& error);
    void lay(Mode mode, const std::vector<QString>& codes);
    // A box and the status line: what failed, and that the lists were left alone.
    void report(const QString& what);
    void status(const QString& text) const;

    DocumentServices services_;
    GroupRules& rules_;
    const OfficerExchange& exchange_;
    IOfficerPicker& picker_;
    // The copy waiting for its answer: empty while none is.
    QString messageId_;
    PickedOfficer source_;
    // The officer and retrieval the lists showed when the copy was asked for.
    QString targetId_;
    QString targetMessageId_;
    // Copies given up on, whose late answers are dropped.
    std::deque<QString> abandoned_;
};

} // namespace zavek
