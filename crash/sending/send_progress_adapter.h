// The send step's view of a progress box class with Open, SetStatus and SetPosition (the crash
// dialog's TSendProgressBox). Header-only, so sending does not link the dialog.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "crash/sending/send_platform.h"

namespace quillan::crash {

template <class TBox>
class TSendProgressAdapter : public ISendProgress {
public:
    explicit TSendProgressAdapter(std::unique_ptr<TBox> box) : box_(std::move(box)) {}
    void SetStatus(const std::string& text) override { box_->SetStatus(text); }
    void SetPosition(int percent) override { box_->SetPosition(percent); }

private:
    std::unique_ptr<TBox> box_;  // closed when the adapter goes
};

// Opens a TBox made from args; null when it could not be opened.
template <class TBox, class... TArgs>
std::unique_ptr<ISendProgress> OpenProgressBox(TArgs&&... args) {
    auto box = std::make_unique<TBox>(std::forward<TArgs>(args)...);
    if (!box->Open()) return nullptr;
    return std::make_unique<TSendProgressAdapter<TBox>>(std::move(box));
}

}  // namespace quillan::crash
