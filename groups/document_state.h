#pragma once
// The document's members, shared by the procedures of the lists, the exchange and the document
// itself.

#include "common/failure.h"
#include "platform/platform.h"

#include <QString>

namespace zavek {

struct DocumentState {
    QString msInspId;
    QString msOfficerName;
    QString msMessageId;
    bool mbRetrievalRequest = false;
    bool mbTimedOut = false;
    bool mbReplyReceived = false;
    bool mbReplyFailed = false;
    QString documentIdentity; // fixed for the document's life
    // The host window's tag and caption, read at each start-up. Every document keeps its own,
    // so that several windows never drive each other's toolbar or title each other's boxes.
    QString msWindowTag;
    QString msWindowCaption;
};

// What the procedures need of the form, so that they can be exercised without it.
class IFormControls {
public:
    virtual ~IFormControls();
    // The "Reset Password" box: 0 clear, 1 ticked. Setting a different value raises the box's
    // click handling, as a user's click does.
    virtual int resetPasswordValue() const = 0;
    virtual void setResetPasswordValue(int value) = 0;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& text) = 0;
    // The officer selector's OfficerName property.
    virtual QString selectedOfficerName() const = 0;
};

// Everything a procedure of the document reaches besides the common library's shared objects.
struct DocumentServices {
    DocumentState& state;
    IFormControls& form;
    platform::Platform platform;
    TrapContext trap; // exeName and the "ZAVEK_Security." prefix
};

} // namespace zavek
