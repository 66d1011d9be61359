#include "crash/sending/socket_errors.h"

#include <cstdio>

namespace quillan::crash {

std::string SocketFailureText(TSocketFailure failure, const std::string& detail) {
    switch (failure) {
        case TSocketFailure::InvalidSocket:
            return "Invalid socket: \"" + detail + "\".";
        case TSocketFailure::Connect:
            return "Connection error: \"" + detail + "\"";
        case TSocketFailure::Send:
            return "Error into \"send\": \"" + detail + "\"";
        case TSocketFailure::Receive:
            return "Error into \"recv\": \"" + detail + "\"";
        case TSocketFailure::Close:
            return "Cannot close the socket: \"" + detail + "\"";
        case TSocketFailure::Timeout:
            break;
    }
    return "Socket timeout.";
}

void RaiseSocketError(TSocketFailure failure, const std::string& detail) {
    throw EMishapSocketError(SocketFailureText(failure, detail));
}

std::string ConnectedLogLine(unsigned address, unsigned port) {
    char line[64];
    std::snprintf(line, sizeof line, "Connected to %u.%u.%u.%u port %u\r\n", address >> 24 & 0xFF, address >> 16 & 0xFF,
                  address >> 8 & 0xFF, address & 0xFF, port);
    return line;
}

}  // namespace quillan::crash
