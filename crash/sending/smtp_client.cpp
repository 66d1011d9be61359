#include "crash/sending/smtp_client.h"

#include <algorithm>

#include "crash/sending/socket_errors.h"

namespace quillan::crash {

namespace {

constexpr size_t kSendPiece = 64 * 1024;

// The first line of a reply, for messages and the log.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find("\r\n")); }

}  // namespace

TMishapClientSocket::TMishapClientSocket(std::unique_ptr<ITcpSocket> socket, std::string host, int timeoutMs,
                                         std::uint16_t port, TSendDeadline deadline)
    : socket_(std::move(socket)),
      host_(std::move(host)),
      timeoutMs_(timeoutMs),
      port_(port),
      deadline_(std::move(deadline)) {}

TMishapClientSocket::~TMishapClientSocket() {
    try {
        socket_->Close();
    } catch (const EMishapSocketError&) {
        // Nothing is left to tell: the session already ended one way or the other.
    }
}

void TMishapClientSocket::Connect() {
    socket_->Connect(host_, port_, deadline_.Limit(timeoutMs_));
    log_ += ConnectedLogLine(socket_->PeerAddress(), port_);
}

void TMishapClientSocket::SendRaw(std::string_view bytes, const std::function<void(size_t)>& progress) {
    for (size_t sent = 0; sent < bytes.size();) {
        const size_t piece = std::min(kSendPiece, bytes.size() - sent);
        socket_->SendAll(bytes.substr(sent, piece), deadline_.Limit(timeoutMs_));
        sent += piece;
        if (progress) progress(sent);
    }
}

void TMishapClientSocket::Close() { socket_->Close(); }

size_t TMishapClientSocket::ReceiveSome(char* buffer, size_t size) {
    const size_t n = socket_->Receive(buffer, size, deadline_.Limit(timeoutMs_));
    if (n == 0) RaiseSocketError(TSocketFailure::Receive, "The connection was closed by the server");
    return n;
}

void TMishapClientSocket::AddLog(std::string_view line) {
    log_.append(line);
    log_ += "\r\n";
}

void TMishapClientSMTP::Open() {
    Connect();
    Expect({220});
}

TSmtpReply TMishapClientSMTP::Command(std::string_view command, std::initializer_list<int> accepted,
                                      const char* logAs) {
    std::string line(command);
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) line += "\r\n";
    AddLog(std::string("> ") + (logAs ? std::string(logAs) : FirstLine(line)));
    SendRaw(line);
    return Expect(accepted);
}

TSmtpReply TMishapClientSMTP::Expect(std::initializer_list<int> accepted) {
    TSmtpReply reply;
    char buffer[4096];
    while (!reader_.Next(reply)) {
        if (reader_.Overflow()) RaiseSocketError(TSocketFailure::Receive, "The server's reply is too long");
        reader_.Feed(std::string_view(buffer, ReceiveSome(buffer, sizeof buffer)));
    }
    AddLog("< " + FirstLine(reply.Text));
    if (std::find(accepted.begin(), accepted.end(), reply.Code) == accepted.end())
        throw EMishapSocketError("Unexpected reply from \"" + host_ + "\": \"" + FirstLine(reply.Text) + "\".");
    return reply;
}

}  // namespace quillan::crash
