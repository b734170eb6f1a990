#pragma once
// The one scripted screen for the document, exchange and groups tests: a real document in a
// host window (tag SEC1, caption "Security Administration") over a small catalogue, a loopback
// back end that stores the rows it is sent, a recording shell and scripted platform services.

#include "common/error_logger.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "common/transport.h"
#include "document/zavek_security.h"
#include "platform/fake_platform.h"
#include "tests/support/fake_shell_host.h"
#include "tests/support/printers.h"
#include "tests/support/temp_database.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace zavek::testing {

using namespace Qt::StringLiterals;
using platform::AnswerCancel;
using platform::AnswerNo;
using platform::AnswerYes;

// Names each case of a table after its first field.
inline const auto kByName = [](const auto& info) { return std::string(info.param.name); };

class Screen : public ::testing::Test {
public: // open to the tables of cases
    Screen();
    ~Screen() override;

    // Replaces the catalogue by these VRD_GROUP rows: "NW,P,CFR,Case File Read;NW,A,...",
    // NULL for a null.
    void catalogue(const char* rows);
    // Runs the replies and events queued so far.
    static void deliver();
    // Picks the officer in the officer-select control, as the administrator does.
    void pick(const QString& id, const QString& name = QStringLiteral("Ann Smith"));
    // A user's click on an item's box.
    void tick(int list, const QString& code, bool checked);
    GroupListModel& items(int list) { return doc->rules().list(list); }
    int row(int list, const QString& code);
    std::optional<bool> saveButton() const { return host.buttonState(7, QStringLiteral("SEC1")); }
    // The screen in one line: the caption's name, then every item ticked or stored by code,
    // "-" before one stored but not ticked, "*" after a pending one; R: the reset box ticked;
    // save: Save enabled. "Ann Smith: CFR CFU* BIS save".
    QString shown();
    // The rows of a message's table, cells joined by '|'.
    static QStringList rows(const MessageData& message, const QString& table);
    static QStringList logSources();
    // The shell's calls as the host logs them, SEC1's tag left out; statuses optional.
    QString shellLog(bool statuses = true) const;

    // What the back end holds: officer -> codes.
    std::map<QString, QStringList> stored{{QStringLiteral("NW001"), {"CFR", "BIS"}},
                                          {QStringLiteral("NW002"), {"CUS"}}};
    QString saveError;      // what the back end answers a save; empty: stored
    QString retrievalError; // and a retrieval; empty: the officer's groups

    TempDatabase db;
    platform::FakePlatform fake;
    FakeShellHost host;
    std::shared_ptr<LoopbackTransport> transport = std::make_shared<LoopbackTransport>();
    MessageBus bus; // the document's own: no request or clock of it outlives the test
    QObject hostWindow;
    QObject container;
    ZavekSecurity* doc = nullptr;
    std::unique_ptr<QAbstractItemModelTester> testers[2];
};

} // namespace zavek::testing
