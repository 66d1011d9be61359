// The sending progress box ("ML_SERVER") on a thread of its own, for the sending code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "crash/report/report_types.h"

namespace quillan::crash {

class TMishapModuleOptions;

class TSendProgressBox {
public:
    // caption: the box's title; empty keeps the template's "SMTP sending...". Not open yet.
    explicit TSendProgressBox(std::string caption = {}, TAddress resourceModule = 0);
    // Closes the box and waits for its thread.
    ~TSendProgressBox();
    TSendProgressBox(const TSendProgressBox&) = delete;
    TSendProgressBox& operator=(const TSendProgressBox&) = delete;

    // Starts the box's thread and waits, in 50 ms steps, until the box exists. False when it could
    // not be created; the other calls then do nothing.
    bool Open();
    bool IsOpen() const;
    // The status line (texts 77 to 80); callable from any thread.
    void SetStatus(const std::string& text);
    // The bar's position, 0 to 100; callable from any thread.
    void SetPosition(int percent);
    // Closes the box and waits for its thread; safe to call twice.
    void Close();
    // The box's window (an HWND), for owning message boxes; null when not open.
    void* Window() const;
    // The box's thread, which the report must neither walk nor suspend; 0 when not open.
    uint32_t ThreadId() const;
    // Whether any progress box of the process is open (the driver then shows sending errors).
    static bool AnyOpen();

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace quillan::crash
