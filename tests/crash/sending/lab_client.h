// Starts loopback_lab.py (real SMTP, DNS, HTTP(S), FTP and silent servers on 127.0.0.1) for one
// test and drives it over its control connection. The lab stops every server and ends when the
// connection closes, so a test that fails half-way leaves nothing running. Host and Wine alike:
// under Wine the Linux Python is started as a Unix program.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

// A failure of the lab itself; a test reports it as a failure, the benchmark prints it.
#ifndef QUILLAN_LAB_FAIL
#include <gtest/gtest.h>
#define QUILLAN_LAB_FAIL() ADD_FAILURE()
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "crash/codec/base64.h"

namespace quillan::test {

// One received fact: its field name and its decoded values.
struct TLabLine {
    std::string Field;
    std::vector<std::string> Values;
};

class TLoopbackLab {
public:
    TLoopbackLab() {
        const char* source = std::getenv("QUILLAN_SOURCE_DIR");
        const std::string script = std::string(source ? source : ".") + "/tests/crash/sending/loopback_lab.py";
        static int counter = 0;
        const std::string ready = "/tmp/quillan-lab-" + std::to_string(Pid()) + "-" + std::to_string(counter++);
        std::remove(LocalPath(ready).c_str());
        Start(script, ready);
        int port = 0;
        for (int i = 0; i < 400 && port == 0; ++i) {
            std::ifstream in(LocalPath(ready));
            if (!(in >> port)) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        std::remove(LocalPath(ready).c_str());
        if (port == 0) {
            QUILLAN_LAB_FAIL() << "the loopback lab did not start (" << script << ")";
            return;
        }
        socket_ = Connect(static_cast<unsigned short>(port));
        if (!Valid()) QUILLAN_LAB_FAIL() << "no control connection to the loopback lab";
    }
    ~TLoopbackLab() {
        if (Valid()) CloseSocket(socket_);
#ifndef _WIN32
        if (child_ > 0) {
            int status = 0;
            // The lab ends by itself once the connection closes; give it a moment, then make sure.
            for (int i = 0; i < 100 && waitpid(child_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (waitpid(child_, &status, WNOHANG) == 0) {
                kill(child_, SIGKILL);
                waitpid(child_, &status, 0);
            }
        }
#endif
    }
    TLoopbackLab(const TLoopbackLab&) = delete;
    TLoopbackLab& operator=(const TLoopbackLab&) = delete;

    // Starts a server ("smtp auth=1", "dns domain=... mx=...", ...); returns its port, 0 on failure.
    unsigned short Start(const std::string& command) {
        const std::string reply = Request(command);
        if (reply.rfind("port ", 0) != 0) {
            std::string why;
            if (reply.rfind("error ", 0) == 0) (void)crash::Base64Decode(reply.substr(6), why);
            QUILLAN_LAB_FAIL() << "lab: " << command << ": " << reply << " " << why;
            return 0;
        }
        return static_cast<unsigned short>(std::atoi(reply.c_str() + 5));
    }

    // What a server received, one line per fact.
    std::vector<TLabLine> Received(const std::string& server) {
        std::vector<TLabLine> lines;
        Send("received " + server + "\n");
        for (std::string line; ReadLine(line) && line != ".";) {
            TLabLine item;
            size_t at = 0;
            for (size_t end; at <= line.size(); at = end + 1) {
                end = line.find(' ', at);
                if (end == std::string::npos) end = line.size();
                const std::string word = line.substr(at, end - at);
                if (item.Field.empty()) {
                    item.Field = word;
                } else {
                    std::string value;
                    if (word != "-" && !crash::Base64Decode(word, value)) QUILLAN_LAB_FAIL() << "bad lab line " << line;
                    item.Values.push_back(value);
                }
            }
            lines.push_back(std::move(item));
        }
        return lines;
    }

    // The received facts grouped into records, each from a line whose field is first up to "end".
    std::vector<std::vector<TLabLine>> Records(const std::string& server, const std::string& first) {
        std::vector<std::vector<TLabLine>> records;
        for (auto& line : Received(server)) {
            if (line.Field == first) records.emplace_back();
            if (line.Field == "end" || records.empty()) continue;
            if (line.Field != first) records.back().push_back(std::move(line));
        }
        return records;
    }

    // A port on which nothing listens (bound, then released).
    static unsigned short RefusedPort();

    // The Windows view of a path of the Linux side.
    static std::string LocalPath(const std::string& unixPath) {
#ifdef _WIN32
        std::string path = "Z:" + unixPath;
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
#else
        return unixPath;
#endif
    }

private:
#ifdef _WIN32
    using TSocket = SOCKET;
    static constexpr TSocket kNone = INVALID_SOCKET;
    static void CloseSocket(TSocket s) { closesocket(s); }
    static long Pid() { return static_cast<long>(GetCurrentProcessId()); }
    void Start(const std::string& script, const std::string& ready) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        // Wine starts a Unix program as one; no handle comes back, which the control connection
        // makes up for.
        std::string line = "/usr/bin/python3 " + script + " " + ready;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA("Z:\\usr\\bin\\python3", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process))
            QUILLAN_LAB_FAIL() << "cannot start /usr/bin/python3: " << GetLastError();
        if (process.hProcess) CloseHandle(process.hProcess);
        if (process.hThread) CloseHandle(process.hThread);
    }
#else
    using TSocket = int;
    static constexpr TSocket kNone = -1;
    static void CloseSocket(TSocket s) { close(s); }
    static long Pid() { return static_cast<long>(getpid()); }
    void Start(const std::string& script, const std::string& ready) {
        std::vector<std::string> args = {"/usr/bin/python3", script, ready};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&child_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            QUILLAN_LAB_FAIL() << "cannot start /usr/bin/python3";
    }
    pid_t child_ = -1;
#endif

    bool Valid() const { return socket_ != kNone; }

    static TSocket Connect(unsigned short port) {
        TSocket s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(0x7F000001);
        if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            CloseSocket(s);
            return kNone;
        }
        return s;
    }

    void Send(const std::string& text) {
        if (Valid()) send(socket_, text.data(), static_cast<int>(text.size()), 0);
    }

    bool ReadLine(std::string& line) {
        line.clear();
        for (;;) {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return true;
            }
            char chunk[65536];
            const int n = Valid() ? static_cast<int>(recv(socket_, chunk, sizeof chunk, 0)) : -1;
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    std::string Request(const std::string& command) {
        Send(command + "\n");
        std::string line;
        ReadLine(line);
        return line;
    }

    TSocket socket_ = kNone;
    std::string buffer_;
};

inline unsigned short TLoopbackLab::RefusedPort() {
    TSocket s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(0x7F000001);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    CloseSocket(s);
    return ntohs(address.sin_port);
}

// The values of the first line with field, or empty.
inline std::vector<std::string> Field(const std::vector<TLabLine>& record, const std::string& field) {
    for (const auto& line : record)
        if (line.Field == field) return line.Values;
    return {};
}
inline std::string First(const std::vector<TLabLine>& record, const std::string& field) {
    auto values = Field(record, field);
    return values.empty() ? std::string() : values.front();
}

}  // namespace quillan::test
