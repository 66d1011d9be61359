// Sockets of the host build (POSIX), so the SMTP client and the MX lookup run against real servers
// in the host tests.
#include "crash/sending/socket_posix.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "crash/sending/send_deadline.h"
#include "crash/sending/socket_errors.h"

namespace quillan::crash {

namespace {

std::string ErrorText(int code) { return std::strerror(code); }

// Waits for the socket to be ready; false on timeout.
bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int n = poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        return n > 0;
    }
}

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

class TPosixTcpSocket : public ITcpSocket {
public:
    ~TPosixTcpSocket() override {
        if (fd_ >= 0) ::close(fd_);
    }

    void Connect(const std::string& host, std::uint16_t port, int timeoutMs) override {
        std::uint32_t peer = 0;
        if (!ResolveHostWithin(host, timeoutMs, LookUpIPv4, peer))
            RaiseSocketError(TSocketFailure::Connect, "Cannot resolve \"" + host + "\"");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(peer);
        address.sin_port = htons(port);
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) RaiseSocketError(TSocketFailure::InvalidSocket, ErrorText(errno));
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (errno != EINPROGRESS) RaiseSocketError(TSocketFailure::Connect, ErrorText(errno));
            if (!WaitFor(fd_, POLLOUT, timeoutMs)) RaiseSocketError(TSocketFailure::Timeout);
            int error = 0;
            socklen_t size = sizeof error;
            getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error != 0) RaiseSocketError(TSocketFailure::Connect, ErrorText(error));
        }
        peer_ = ntohl(address.sin_addr.s_addr);
    }

    std::uint32_t PeerAddress() const override { return peer_; }

    void SendAll(std::string_view bytes, int timeoutMs) override {
        while (!bytes.empty()) {
            if (!WaitFor(fd_, POLLOUT, timeoutMs)) RaiseSocketError(TSocketFailure::Timeout);
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) continue;
                RaiseSocketError(TSocketFailure::Send, ErrorText(errno));
            }
            bytes.remove_prefix(static_cast<size_t>(n));
        }
    }

    size_t Receive(char* buffer, size_t size, int timeoutMs) override {
        for (;;) {
            if (!WaitFor(fd_, POLLIN, timeoutMs)) RaiseSocketError(TSocketFailure::Timeout);
            const ssize_t n = ::recv(fd_, buffer, size, 0);
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EAGAIN && errno != EINTR) RaiseSocketError(TSocketFailure::Receive, ErrorText(errno));
        }
    }

    void Close() override {
        if (fd_ < 0) return;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) RaiseSocketError(TSocketFailure::Close, ErrorText(errno));
    }

private:
    int fd_ = -1;
    std::uint32_t peer_ = 0;
};

class TPosixUdpSocket : public IUdpSocket {
public:
    TPosixUdpSocket() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) RaiseSocketError(TSocketFailure::InvalidSocket, ErrorText(errno));
    }
    ~TPosixUdpSocket() override { ::close(fd_); }

    void SendTo(const std::string& address, std::uint16_t port, std::string_view datagram) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1)
            RaiseSocketError(TSocketFailure::Send, "Invalid address \"" + address + "\"");
        if (::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
            RaiseSocketError(TSocketFailure::Send, ErrorText(errno));
    }

    bool ReceiveFrom(std::string& datagram, int timeoutMs) override {
        if (!WaitFor(fd_, POLLIN, timeoutMs)) return false;
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        // A refused port answers with an error here; it counts as no answer.
        if (n < 0) return false;
        datagram.assign(buffer, static_cast<size_t>(n));
        return true;
    }

private:
    int fd_ = -1;
};

}  // namespace

std::unique_ptr<ITcpSocket> NewPosixTcpSocket() { return std::make_unique<TPosixTcpSocket>(); }
std::unique_ptr<IUdpSocket> NewPosixUdpSocket() { return std::make_unique<TPosixUdpSocket>(); }

}  // namespace quillan::crash
