#pragma once
// A real document in a host window with a tag and a caption, on a small catalogue, with a
// loopback back end and scripted platform services.

#include "common/error_logger.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "common/transport.h"
#include "document/zavek_security.h"
#include "platform/fake_platform.h"
#include "tests/support/fake_shell_host.h"
#include "tests/support/printers.h"
#include "tests/support/temp_database.h"

#include <QObject>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace zavek::testing {

class DocumentTest : public ::testing::Test {
protected:
    DocumentTest();
    ~DocumentTest() override;

    // Shows an officer as a reply would, then names them for the prompts.
    void showOfficer(const QString& id, const QString& name);
    void deliver();
    void tick(int list, const QString& code, bool checked);
    bool checked(int list, const QString& code);
    int row(int list, const QString& code);

    std::map<QString, QStringList> stored;
    QString saveError;

    TempDatabase db;
    platform::FakePlatform fake;
    FakeShellHost host;
    std::shared_ptr<LoopbackTransport> transport;
    QObject hostWindow;
    QObject container;
    ZavekSecurity* doc = nullptr;
};

} // namespace zavek::testing
