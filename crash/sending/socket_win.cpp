// Winsock sockets with a limit on every call: non-blocking, each wait done by select.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>

#include "crash/sending/send_deadline.h"
#include "crash/sending/send_platform_win.h"
#include "crash/sending/socket_errors.h"
#include "framework/core/file_io.h"
#include "framework/win/handle_win.h"

namespace quillan::crash {

namespace {

void StartWinsock() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

std::string LastSocketError() { return SysErrorMessage(WSAGetLastError()); }

// The system's resolver, which takes as long as it takes: ResolveHostWithin bounds it.
bool LookUpIPv4(const std::string& host, std::uint32_t& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(list);
    return true;
}

// Waits until the socket can be written (or read); false on timeout.
bool WaitFor(SOCKET s, bool write, int timeoutMs, bool* failed = nullptr) {
    fd_set ready, error;
    FD_ZERO(&ready);
    FD_ZERO(&error);
    FD_SET(s, &ready);
    FD_SET(s, &error);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int n = select(0, write ? nullptr : &ready, write ? &ready : nullptr, &error, &limit);
    if (failed) *failed = n > 0 && FD_ISSET(s, &error);
    return n > 0;
}

class TWinsockTcpSocket : public ITcpSocket {
public:
    TWinsockTcpSocket() { StartWinsock(); }

    void Connect(const std::string& host, std::uint16_t port, int timeoutMs) override {
        std::uint32_t peer = 0;
        if (!ResolveHostWithin(host, timeoutMs, LookUpIPv4, peer))
            RaiseSocketError(TSocketFailure::Connect, "Cannot resolve \"" + host + "\"");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(peer);
        address.sin_port = htons(port);

        s_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!s_) RaiseSocketError(TSocketFailure::InvalidSocket, LastSocketError());
        u_long nonBlocking = 1;
        ioctlsocket(s_.get(), FIONBIO, &nonBlocking);
        if (connect(s_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) RaiseSocketError(TSocketFailure::Connect, LastSocketError());
            bool failed = false;
            if (!WaitFor(s_.get(), true, timeoutMs, &failed)) RaiseSocketError(TSocketFailure::Timeout);
            int error = 0;
            int size = sizeof error;
            getsockopt(s_.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
            if (failed || error != 0)
                RaiseSocketError(TSocketFailure::Connect, SysErrorMessage(error ? error : WSAECONNREFUSED));
        }
        peer_ = ntohl(address.sin_addr.s_addr);
    }

    std::uint32_t PeerAddress() const override { return peer_; }

    void SendAll(std::string_view bytes, int timeoutMs) override {
        while (!bytes.empty()) {
            if (!WaitFor(s_.get(), true, timeoutMs)) RaiseSocketError(TSocketFailure::Timeout);
            const int n = send(s_.get(), bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 1 << 20)), 0);
            if (n == SOCKET_ERROR) {
                if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
                RaiseSocketError(TSocketFailure::Send, LastSocketError());
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }

    size_t Receive(char* buffer, size_t size, int timeoutMs) override {
        for (;;) {
            if (!WaitFor(s_.get(), false, timeoutMs)) RaiseSocketError(TSocketFailure::Timeout);
            const int n = recv(s_.get(), buffer, static_cast<int>(size), 0);
            if (n != SOCKET_ERROR) return static_cast<size_t>(n);
            if (WSAGetLastError() != WSAEWOULDBLOCK) RaiseSocketError(TSocketFailure::Receive, LastSocketError());
        }
    }

    void Close() override {
        if (!s_) return;
        // Closed here rather than by the owner: a failed close is reported.
        if (closesocket(s_.release()) == SOCKET_ERROR) RaiseSocketError(TSocketFailure::Close, LastSocketError());
    }

private:
    win::SocketHandle s_;
    std::uint32_t peer_ = 0;
};

class TWinsockUdpSocket : public IUdpSocket {
public:
    TWinsockUdpSocket() {
        StartWinsock();
        s_.reset(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        if (!s_) RaiseSocketError(TSocketFailure::InvalidSocket, LastSocketError());
    }

    void SendTo(const std::string& address, std::uint16_t port, std::string_view datagram) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
            RaiseSocketError(TSocketFailure::Send, "Invalid address \"" + address + "\"");
        if (sendto(s_.get(), datagram.data(), static_cast<int>(datagram.size()), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to) == SOCKET_ERROR)
            RaiseSocketError(TSocketFailure::Send, LastSocketError());
    }

    bool ReceiveFrom(std::string& datagram, int timeoutMs) override {
        if (!WaitFor(s_.get(), false, timeoutMs)) return false;
        char buffer[4096];
        const int n = recv(s_.get(), buffer, sizeof buffer, 0);
        // A refused port answers with an error here; it counts as no answer.
        if (n == SOCKET_ERROR) return false;
        datagram.assign(buffer, static_cast<size_t>(n));
        return true;
    }

private:
    win::SocketHandle s_;
};

}  // namespace

std::unique_ptr<ITcpSocket> NewWinsockTcpSocket() { return std::make_unique<TWinsockTcpSocket>(); }
std::unique_ptr<IUdpSocket> NewWinsockUdpSocket() { return std::make_unique<TWinsockUdpSocket>(); }

}  // namespace quillan::crash
