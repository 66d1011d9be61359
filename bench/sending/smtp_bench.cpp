// One SMTP send of a 1 MB attachment over the loopback address beside the same megabyte through a
// plain socket write, in one run. Both go to a receiver in this process that reads everything and
// answers as a server would, so the difference is the client's own work: the message, its Base64
// and the dialogue. A third figure sends the same mail to aiosmtpd (tests/crash/sending/
// loopback_lab.py), when Debian's Python with it is there.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "bench/support/result.h"

#include <iostream>
#include <map>
#include "crash/sending/smtp_send.h"
#include "crash/sending/socket_errors.h"
#include "crash/sending/socket_posix.h"
// The lab's failures are printed, not asserted: a benchmark has no test to fail.
#define QUILLAN_LAB_FAIL() std::cerr << "\n"
#include "tests/crash/sending/lab_client.h"

namespace {

using namespace quillan::crash;

constexpr size_t kAttachment = 1 << 20;

std::string Payload() {
    std::mt19937 random(15);
    std::string bytes(kAttachment, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Reads a whole line (up to LF) from fd into line; false when the peer closed.
bool ReadLine(int fd, std::string& pending, std::string& line) {
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end + 1);
            pending.erase(0, end + 1);
            return true;
        }
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<size_t>(n));
    }
}

void Reply(int fd, const char* text) { send(fd, text, std::strlen(text), MSG_NOSIGNAL); }

// A loopback receiver: "smtp" connections get a server's answers, "plain" ones are drained and
// acknowledged with one byte once the writer shut its side.
class TReceiver {
public:
    explicit TReceiver(bool smtp) : smtp_(smtp) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000001);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 16);
        socklen_t size = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TReceiver() {
        stop_ = true;
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        thread_.join();
    }
    unsigned short Port() const { return port_; }

private:
    void Serve() {
        while (!stop_) {
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            if (smtp_) {
                Smtp(fd);
            } else {
                char buffer[65536];
                while (recv(fd, buffer, sizeof buffer, 0) > 0) {}
                Reply(fd, "k");
            }
            close(fd);
        }
    }
    static void Smtp(int fd) {
        std::string pending, line;
        Reply(fd, "220 bench ready\r\n");
        while (ReadLine(fd, pending, line)) {
            if (line.rfind("DATA", 0) == 0) {
                Reply(fd, "354 go on\r\n");
                std::string tail;
                for (;;) {
                    const size_t end = pending.find("\r\n.\r\n");
                    if (end != std::string::npos) {
                        pending.erase(0, end + 5);
                        break;
                    }
                    tail = pending.size() > 4 ? pending.substr(pending.size() - 4) : pending;
                    pending = tail;
                    char buffer[65536];
                    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
                    if (n <= 0) return;
                    pending.append(buffer, static_cast<size_t>(n));
                }
                Reply(fd, "250 queued\r\n");
            } else if (line.rfind("QUIT", 0) == 0) {
                Reply(fd, "221 bye\r\n");
                return;
            } else {
                Reply(fd, "250 ok\r\n");
            }
        }
    }

    bool smtp_;
    int listener_ = -1;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class TBenchPlatform : public ISendPlatform {
public:
    std::string TempFolder() override { return "/tmp/"; }
    std::string LocalHostName() override { return "bench"; }
    std::uint32_t TickCount() override { return 1; }
    TMailDate Now() override { return {}; }
    std::string DnsServer() override { return {}; }
    std::unique_ptr<ITcpSocket> NewTcpSocket() override { return NewPosixTcpSocket(); }
    std::unique_ptr<IUdpSocket> NewUdpSocket() override { return NewPosixUdpSocket(); }
    bool SendMapi(const TMapiMail&, unsigned, std::string&) override { return false; }
    bool RunMailto(const std::string&, int, int, int, std::string&) override { return false; }
    bool HttpPost(const TUploadTarget&, const std::string&, const std::string&, const std::string&,
                  TUploadOutcome&) override {
        return false;
    }
    bool FtpPut(const TUploadTarget&, const std::vector<std::pair<std::string, std::string>>&,
                TUploadOutcome&) override {
        return false;
    }
    void CopyToClipboard(const std::string&) override {}
    void ShowMessageBox(const std::string&, const std::string&, unsigned) override {}
    std::unique_ptr<ISendProgress> OpenProgress() override { return nullptr; }
};

TSmtpMail Mail(unsigned short port) {
    TSmtpMail mail;
    mail.Host = "127.0.0.1";
    mail.Port = port;
    mail.Sender = "app@quillan.test";
    mail.Subject = "Crash report";
    mail.Text = "Something broke.";
    mail.Attachments = {{"Screenshot.bin", Payload()}};
    return mail;
}

void SmtpSend(benchmark::State& state, unsigned short port) {
    TBenchPlatform platform;
    const TSmtpMail mail = Mail(port);
    TSmtpContext context{&platform, nullptr, 30000, 30000, {}};  // no overall deadline across iterations
    for (auto _ : state) SendSmtpToRecipient(context, mail, "dev@example.test");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kAttachment));
}

void BM_SmtpSend(benchmark::State& state) {
    TReceiver receiver(true);
    SmtpSend(state, receiver.Port());
}
BENCHMARK(BM_SmtpSend)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PlainWrite(benchmark::State& state) {
    TReceiver receiver(false);
    const std::string bytes = Payload();
    for (auto _ : state) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(receiver.Port());
        a.sin_addr.s_addr = htonl(0x7F000001);
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        for (size_t sent = 0; sent < bytes.size();) {
            const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        shutdown(fd, SHUT_WR);
        char ack;
        recv(fd, &ack, 1, 0);
        close(fd);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kAttachment));
}
BENCHMARK(BM_PlainWrite)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The client's own work without the network: the message with its Base64.
void BM_BuildMessage(benchmark::State& state) {
    const TSmtpMail mail = Mail(25);
    TSmtpMessageParts parts;
    parts.Sender = mail.Sender;
    parts.Recipient = "dev@example.test";
    parts.Subject = mail.Subject;
    parts.Text = mail.Text;
    parts.Attachments = mail.Attachments;
    for (auto _ : state) benchmark::DoNotOptimize(BuildSmtpMessage(parts));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kAttachment));
}
BENCHMARK(BM_BuildMessage)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SmtpSendToAiosmtpd(benchmark::State& state) {
    quillan::test::TLoopbackLab lab;
    const auto port = lab.Start("smtp quiet=1");
    if (port == 0) {
        state.SkipWithError("no aiosmtpd");
        return;
    }
    SmtpSend(state, port);
}
BENCHMARK(BM_SmtpSendToAiosmtpd)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The console table, plus the wall time of each benchmark for the closing comparison: sockets
// wait, so wall time is what a send costs.
class TWallTimes : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // The median when repetitions were asked for, else the one run.
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            Ms[run.run_name.function_name] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1000;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TWallTimes times;
    benchmark::RunSpecifiedBenchmarks(&times);
    benchmark::Shutdown();
    const double smtp = times.Ms["BM_SmtpSend"], plain = times.Ms["BM_PlainWrite"];
    const double real = times.Ms["BM_SmtpSendToAiosmtpd"], build = times.Ms["BM_BuildMessage"];
    std::printf("\nOne 1 MB attachment over loopback: SMTP send %.2f ms, plain socket write %.2f ms (%.1fx)", smtp,
                plain, plain > 0 ? smtp / plain : 0.0);
    std::printf("; building the message alone %.2f ms", build);
    if (real > 0) std::printf("; the same SMTP send to aiosmtpd %.2f ms", real);
    std::printf("\n");
    quillan::bench::PrintResult("SMTP send, 1 MB attachment over loopback", smtp, plain, "plain socket write", "ms",
                                "none set");
    return 0;
}
