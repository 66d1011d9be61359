// The library's own SMTP client over a socket with a limit on every call. Platform-free: the
// socket comes from the platform.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "crash/sending/send_deadline.h"
#include "crash/sending/send_platform.h"
#include "crash/sending/smtp_reply.h"

namespace quillan::crash {

// A client connection that keeps a log of what it did ("Socket log:" and one line per step). Every
// call waits at most timeoutMs, and never past the deadline.
class TMishapClientSocket {
public:
    TMishapClientSocket(std::unique_ptr<ITcpSocket> socket, std::string host, int timeoutMs, std::uint16_t port,
                        TSendDeadline deadline = {});
    // Closes without raising.
    virtual ~TMishapClientSocket();
    TMishapClientSocket(const TMishapClientSocket&) = delete;
    TMishapClientSocket& operator=(const TMishapClientSocket&) = delete;

    // Connects within the timeout; raises EMishapSocketError.
    void Connect();
    // Sends bytes in pieces; progress (when set) hears the count sent so far after each piece.
    void SendRaw(std::string_view bytes, const std::function<void(size_t sent)>& progress = {});
    void Close();

    const std::string& Log() const { return log_; }
    const std::string& Host() const { return host_; }

protected:
    // Waits at most the timeout for more bytes; raises on a closed connection.
    size_t ReceiveSome(char* buffer, size_t size);
    void AddLog(std::string_view line);  // CR LF added

    std::unique_ptr<ITcpSocket> socket_;
    std::string host_;
    int timeoutMs_;
    std::uint16_t port_;
    TSendDeadline deadline_;
    std::string log_ = "Socket log:\r\n";
};

class TMishapClientSMTP : public TMishapClientSocket {
public:
    using TMishapClientSocket::TMishapClientSocket;

    // Connects and reads the greeting, which must be 220.
    void Open();
    // Sends the command (CR LF added when it does not end with it) and reads its reply; raises
    // EMishapSocketError unless the reply's code is one of accepted. logAs, when set, stands for
    // the command in the socket log (for credentials).
    TSmtpReply Command(std::string_view command, std::initializer_list<int> accepted, const char* logAs = nullptr);
    // Reads one whole reply and checks its code.
    TSmtpReply Expect(std::initializer_list<int> accepted);

private:
    TSmtpReplyReader reader_;
};

}  // namespace quillan::crash
