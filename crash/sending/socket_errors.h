// The socket failures of sending and their texts. Platform-free.
#pragma once

#include <string>

#include "crash/options/errors.h"

namespace quillan::crash {

// Raised by sockets and the SMTP client. The report driver never shows it as an internal error.
QUILLAN_EXCEPTION(EMishapSocketError, EMishapLogError);

enum class TSocketFailure : int { InvalidSocket, Connect, Send, Receive, Close, Timeout };

// The message of a failure; detail is the system's text for its error code (unused for Timeout).
std::string SocketFailureText(TSocketFailure failure, const std::string& detail);

[[noreturn]] void RaiseSocketError(TSocketFailure failure, const std::string& detail = {});

// "Connected to %d.%d.%d.%d port %d\r\n" for an address given most significant byte first.
std::string ConnectedLogLine(unsigned address, unsigned port);

}  // namespace quillan::crash
