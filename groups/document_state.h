#pragma once
// The document's members, shared by the procedures of the lists, the exchange and the document
// itself.

#include "common/failure.h"
#include "platform/platform.h"

#include <QString>

namespace zavek {

class KelbListener;
class MessageBus;
class ReplyChecker;
class ReplyStore;
class SessionInfo;
class ShellServices;

// A flag of the request the document has out: read anywhere, written only by the request's
// events (DocumentState::sent and the others).
class RequestFlag {
public:
    explicit operator bool() const { return on_; }

private:
    friend struct DocumentState;
    bool on_ = false;
};

struct DocumentState {
    QString msInspId;
    QString msOfficerName;
    QString msMessageId;

    // What a request handed over does with the lists when its answer comes.
    enum class Sent {
        Retrieval,      // the answer is loaded on them
        Save,           // they go on taking answers as they did before the save
        SaveFromButton, // the Save button's: its answer leaves them as they are
    };
    // The request's life, one event each. The flags stay apart because they do not follow
    // one another: a time-out does not stop a late answer from loading the lists, and an
    // answer or a failure is remembered until the next request is sent.
    void sent(Sent request);
    void answered();
    void failed();
    void timedOut();

    // The lists take the answers under msMessageId.
    RequestFlag mbRetrievalRequest;
    // The request under msMessageId went unanswered in time.
    RequestFlag mbTimedOut;
    // An answer came since the last request was sent, and one of them was an error.
    RequestFlag mbReplyReceived;
    RequestFlag mbReplyFailed;

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

// The common library's shared objects of the user-interface thread, looked up once where the
// document is made.
struct SharedObjects {
    MessageBus& bus;
    ReplyStore& replies;
    ReplyChecker& checker;
    SessionInfo& session;
    ShellServices& shell;
    KelbListener& listener;
};

// Everything a procedure of the document reaches.
struct DocumentServices {
    DocumentState& state;
    IFormControls& form;
    platform::Platform platform;
    TrapContext trap; // exeName and the "ZAVEK_Security." prefix
    SharedObjects shared;
};

} // namespace zavek
