#include "crash/sending/upload.h"

#include <cstdio>

#include "crash/codec/base64.h"
#include "crash/options/options.h"
#include "framework/core/convert.h"

namespace quillan::crash {

namespace {

bool HasControl(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool SplitUrl(std::string_view url, TUrlParts& parts) {
    if (HasControl(url)) return false;
    TUrlParts p;
    while (!url.empty() && url.front() == ' ') url.remove_prefix(1);
    while (!url.empty() && url.back() == ' ') url.remove_suffix(1);
    if (const size_t scheme = url.find("://"); scheme != std::string_view::npos) {
        p.Scheme = AsciiLowerCase(url.substr(0, scheme));
        url.remove_prefix(scheme + 3);
    }
    const size_t slash = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, slash);
    // Built in a string of its own: GCC 12 at -O3 misreads a copy into the member as overlapping.
    std::string path(1, '/');
    if (slash != std::string_view::npos) path.append(url.substr(url[slash] == '/' ? slash + 1 : slash));
    p.Path = std::move(path);
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view credentials = authority.substr(0, at);
        const size_t colon = credentials.find(':');
        p.User = std::string(credentials.substr(0, colon));
        if (colon != std::string_view::npos) p.Password = std::string(credentials.substr(colon + 1));
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        p.Host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (!authority.empty() && (authority.front() != ':' || !ParsePort(authority.substr(1), p.Port))) return false;
    } else {
        const size_t colon = authority.rfind(':');
        p.Host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos && !ParsePort(authority.substr(colon + 1), p.Port)) return false;
    }
    if (p.Host.empty()) return false;
    parts = std::move(p);
    return true;
}

std::string MaskedUrl(std::string_view url) {
    std::string out(url);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    const size_t scheme = out.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    // A password may hold "/", so the user part is taken to run to the last "@" before the query.
    const size_t end = out.find_first_of("?#", start);
    const size_t at = out.rfind('@', end == std::string::npos ? std::string::npos : end - 1);
    if (at == std::string::npos || at < start) return out;
    const size_t colon = out.find(':', start);
    const size_t from = colon != std::string::npos && colon < at ? colon + 1 : start;
    return out.replace(from, at - from, "***");
}

const char* UploadMethodName(TUploadMethod method) {
    switch (method) {
        case TUploadMethod::Https:
            return "HTTPS";
        case TUploadMethod::Ftp:
            return "FTP";
        case TUploadMethod::Http:
            break;
    }
    return "HTTP";
}

std::uint16_t DefaultUploadPort(TUploadMethod method) {
    switch (method) {
        case TUploadMethod::Https:
            return 443;
        case TUploadMethod::Ftp:
            return 21;
        case TUploadMethod::Http:
            break;
    }
    return 80;
}

bool MakeUploadTarget(TUploadMethod method, const TMishapModuleOptions& options, TUploadTarget& target,
                      std::string& error) {
    TUrlParts url;
    if (!SplitUrl(options.UploadUrl(), url)) {
        error =
            std::string(UploadMethodName(method)) + ": invalid upload URL \"" + MaskedUrl(options.UploadUrl()) + "\".";
        return false;
    }
    TUploadTarget t;
    t.Method = method;
    t.Host = url.Host;
    t.Path = url.Path;
    t.Port = url.Port ? url.Port : DefaultUploadPort(method);
    if (options.UploadPort() > 0 && options.UploadPort() <= 65535)
        t.Port = static_cast<std::uint16_t>(options.UploadPort());
    t.User = options.UploadUser().empty() ? url.User : options.UploadUser();
    t.Password = options.UploadPassword().empty() ? url.Password : options.UploadPassword();
    // The FTP commands carry them as plain lines: a line break would add commands of its own.
    if (HasControl(t.User) || HasControl(t.Password)) {
        error = std::string(UploadMethodName(method)) +
                ": line break in the upload user name or password; nothing "
                "was uploaded.";
        return false;
    }
    target = std::move(t);
    return true;
}

std::string MakeFormBoundary(std::uint32_t seed, const std::vector<TFormField>& fields,
                             const std::vector<TFormFile>& files) {
    for (std::uint32_t n = seed;; n = n * 1103515245u + 12345u) {
        char text[48];
        std::snprintf(text, sizeof text, "----------MishapLog%08X%08X", n, n * 2654435761u);
        const std::string boundary = text;
        bool clash = false;
        for (const auto& f : fields) clash |= f.Value.find(boundary) != std::string::npos;
        for (const auto& f : files) clash |= f.Bytes.find(boundary) != std::string::npos;
        if (!clash) return boundary;
    }
}

std::string BuildFormBody(const std::string& boundary, const std::vector<TFormField>& fields,
                          const std::vector<TFormFile>& files) {
    size_t size = 64;
    for (const auto& f : files) size += f.Bytes.size() + 200;
    std::string body;
    body.reserve(size);
    for (const auto& f : fields)
        body +=
            "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + f.Name + "\";\r\n\r\n" + f.Value + "\r\n";
    for (size_t i = 0; i < files.size(); ++i) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"ml_upload_file_" + std::to_string(i) +
                "\"; filename=\"" + files[i].Name + "\";\r\nContent-Type: application/octet-stream\r\n\r\n";
        body += files[i].Bytes;
        body += "\r\n";
    }
    body += "--" + boundary + "--\r\n";
    return body;
}

std::string BasicAuthorizationHeader(const std::string& user, const std::string& password) {
    return "Authorization: Basic " + Base64Encode(user + ":" + password) + "\r\n";
}

std::string UploadErrorText(TUploadMethod method, int code, const std::string& description) {
    return std::string(UploadMethodName(method)) + " error code: " + std::to_string(code) +
           (description.empty() ? std::string() : " (" + description + ")");
}

std::string UploadOutcomeText(TUploadMethod method, const TUploadOutcome& outcome) {
    if (!outcome.Library.empty())
        return std::string(UploadMethodName(method)) + " error code: " + std::to_string(outcome.ErrorCode) +
               " - Cannot find the \"" + outcome.Library + "\" library.";
    if (outcome.ErrorCode != 0)
        return UploadErrorText(method, outcome.ErrorCode, WinInetErrorDescription(outcome.ErrorCode));
    return UploadErrorText(method, outcome.HttpStatus, outcome.StatusText);
}

}  // namespace quillan::crash
