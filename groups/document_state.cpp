#include "groups/document_state.h"

namespace zavek {

IFormControls::~IFormControls() = default;

void DocumentState::sent(Sent request) {
    if (request == Sent::Retrieval)
        mbRetrievalRequest.on_ = true;
    else if (request == Sent::SaveFromButton)
        mbRetrievalRequest.on_ = false;
    mbTimedOut.on_ = false;
    mbReplyReceived.on_ = false;
    mbReplyFailed.on_ = false;
}

void DocumentState::answered() {
    mbReplyReceived.on_ = true;
}

void DocumentState::failed() {
    mbReplyFailed.on_ = true;
}

void DocumentState::timedOut() {
    mbTimedOut.on_ = true;
}

} // namespace zavek
