#include "app/shell_state.h"

namespace quillan {

TShellState::TScope::TScope(TShellState& state, TBusy what) : state_(state), what_(what) {
    ++state_.depth_[Index(what_)];
}

TShellState::TScope::~TScope() { --state_.depth_[Index(what_)]; }

TVerdict TShellState::Decide(TRequest request) const {
    const bool menu = Busy(TBusy::TemplateMenu) || Busy(TBusy::TrayMenu);
    const bool paste = Busy(TBusy::Paste);
    switch (request) {
        case TRequest::HotKey:
        case TRequest::TrayMenu:
            return menu || paste ? TVerdict::Ignore : TVerdict::Run;
        case TRequest::Paste:
            return paste ? TVerdict::Ignore : TVerdict::Run;
        case TRequest::Options:
            if (paste) return TVerdict::Ignore;
            return Busy(TBusy::OptionsDialog) ? TVerdict::BringToFront : TVerdict::Run;
        case TRequest::About:
            if (paste) return TVerdict::Ignore;
            return Busy(TBusy::AboutBox) ? TVerdict::BringToFront : TVerdict::Run;
        case TRequest::Reinitialise:
        case TRequest::Quit:
            return TVerdict::Run;
    }
    return TVerdict::Ignore;
}

}  // namespace quillan
