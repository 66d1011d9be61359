// Shared set-up of the send-step tests on the host and under Wine: options for a loopback server,
// a report, and reading what a server received.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "crash/options/options.h"
#include "crash/sending/send_report.h"
#include "framework/core/file_io.h"
#include "tests/crash/sending/lab_client.h"
#include "tests/support/temp_dir.h"

namespace quillan::test {

inline constexpr char kReport[] =
    "Application:\r\n------------\r\n  1.1 Start Date : 2024-01-02\r\n\r\nCall Stack Information:\r\n"
    "-----------------\r\n|Address |Module |\r\n-----------------\r\n.\r\n..dots\r\n";

// Writes a test file (the tests' paths are ASCII, so the narrow name is the file's name).
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every byte value once, then some text: what an attachment must carry unchanged.
inline std::string AllBytes() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes + "\r\n.\r\nend";
}

// Options that send by SMTP through the loopback server on port.
inline void UseSmtp(crash::TMishapModuleOptions& o, unsigned short port, const std::string& recipients) {
    o.SetMailMethod(2);
    o.SetSmtpHost("127.0.0.1");
    o.SetSmtpPort(port);
    o.SetSmtpSender("app@quillan.test");
    o.SetMailRecipients(recipients);
    o.SetMailSubject("Crash report");
    o.SetMailBody("Something broke.");
    o.SetSendFlags(0);
}

// A request for the current report; the log file lives in dir.
inline crash::TSendRequest MakeRequest(const crash::TMishapModuleOptions& o, const TempDir& dir) {
    crash::TSendRequest r;
    r.Options = &o;
    r.ReportText = kReport;
    r.LogPath = dir.Path() + "Quillan.mlf";
    r.ReportTime = 45293.5;  // 2024-01-02 12:00:00
    r.Timeouts.SocketMs = 3000;
    r.Timeouts.DnsMs = 3000;
    r.Timeouts.MailtoSettleMs = 0;
    return r;
}

// The parts of a received mail: content type, file name, bytes.
struct TPart {
    std::string Type, Name, Bytes;
};
inline std::vector<TPart> Parts(const std::vector<TLabLine>& message) {
    std::vector<TPart> parts;
    for (const auto& line : message)
        if (line.Field == "part" && line.Values.size() == 3)
            parts.push_back({line.Values[0], line.Values[1], line.Values[2]});
    return parts;
}
inline std::string Header(const std::vector<TLabLine>& message, const std::string& name) {
    for (const auto& line : message)
        if (line.Field == "header" && line.Values.size() == 2 && line.Values[0] == name) return line.Values[1];
    return {};
}

}  // namespace quillan::test
