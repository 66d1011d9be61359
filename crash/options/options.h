// The crash reporter's per-module options: what a report gathers, how it is shown, logged and
// sent, the hang and crash-burst rules, the exception filter and the 96 texts. Platform-free.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crash/options/texts.h"
#include "framework/core/streams.h"

namespace quillan::crash {

// Format version of the options stream this code writes.
inline constexpr int kOptionsStreamVersion = 506;

// All 40 bits of DetailMask.
inline constexpr uint64_t kDetailMaskAll = 0xFFFFFFFFFFull;

// Bits of LogFlags.
enum : uint8_t {
    lfSkipDuplicates = 0x01,
    lfAskReproduceSteps = 0x02,
    lfDeleteOnVersionChange = 0x04,
    lfAddComputerName = 0x08,
    lfGatherModules = 0x10,
    lfGatherCpu = 0x20,
};
// Bits of SendFlags.
enum : uint16_t {
    sfShowProgress = 0x001,
    sfShowResult = 0x002,
    sfSendEntireLog = 0x004,
    sfAttachXml = 0x008,
    sfAttachScreenshot = 0x010,
    sfScreenshotForegroundOnly = 0x020,
    sfAttachLastHtmlPage = 0x040,
    sfSendInThread = 0x080,
    sfTimestampAttachments = 0x100,
    sfCompressAttachments = 0x200,
};
// Bits of DialogFlags.
enum : uint8_t {
    dfShowDialog = 0x01,
    dfSendChecked = 0x02,
    dfAttachScreenshotChecked = 0x04,
    dfShowCopyToClipboard = 0x08,
    dfShowDetailsButton = 0x10,
    dfOpenDetailed = 0x20,
    dfTopMost = 0x40,
    dfOwnColours = 0x80,
};
// Bits of StackFlags.
enum : uint8_t {
    skPlainExports = 0x01,
    skPackageExports = 0x02,
    skRuntimeThreads = 0x04,
    skWindowsThreads = 0x08,
    skLineOffset = 0x10,
};
// Bits of BehaviourFlags.
enum : uint8_t {
    bfCrashBurst = 0x01,
    bfSuspendRuntimeThreads = 0x02,
    bfExceptMainThread = 0x04,
    bfSuspendWindowsThreads = 0x08,
    bfPreferMainModule = 0x10,
    bfClipboardOnSendFailure = 0x20,
    bfKeepPackOnSendFailure = 0x40,
};

// Number of items of each report section 1..7 (7 is the custom data).
inline constexpr std::array<int, 7> kDetailSectionItems = {5, 5, 4, 9, 4, 6, 1};

// The DetailMask bit of a report item (section and item from 1), or -1 when there is none.
// Bits follow the items in report order: 1.1 is bit 0, 6.6 bit 32, 7.1 bit 33.
int DetailBit(int section, int item);

class TMishapModuleOptions {
public:
    TMishapModuleOptions();
    virtual ~TMishapModuleOptions() = default;
    // Copying goes through Assign so that a derived object's hook sees the change.
    TMishapModuleOptions(const TMishapModuleOptions&) = delete;
    TMishapModuleOptions& operator=(const TMishapModuleOptions&) = delete;

    // Called after every change (each setter, Assign, Reset, a load); does nothing here.
    virtual void Changed() {}
    virtual void SetEnabled(bool value);
    virtual void SetHangDetection(bool value);
    // Deep copy of every stored field, filters and texts included; ModuleName is kept.
    // nullptr raises EMishapLogError "Impossible to assign nil as TMishapModuleOptions.".
    virtual void Assign(const TMishapModuleOptions* source);
    // Every field back to its default.
    virtual void Reset();
    // Writes the version-506 stream at the stream's position.
    virtual void SaveToStream(TStream& stream) const;
    // Reads a stream of the given format version from the stream's position, leaving the position
    // after its last byte. On failure raises EMishapOptionsError and leaves this object unchanged.
    virtual void LoadFromStream(TStream& stream, int version = kOptionsStreamVersion);

    // The version-506 stream as bytes.
    std::string SaveToBytes() const;
    // Loads from bytes; returns how many were consumed.
    size_t LoadFromBytes(std::string_view bytes, int version = kOptionsStreamVersion);

    // Equal when every stored field is equal (ModuleName is not stored and not compared).
    bool SameAs(const TMishapModuleOptions& other) const;

#define QUILLAN_OPTION(Type, Name)             \
    Type Name() const { return fields_.Name; } \
    void Set##Name(Type value) {               \
        fields_.Name = value;                  \
        Changed();                             \
    }
#define QUILLAN_TEXT_OPTION(Name)                            \
    const std::string& Name() const { return fields_.Name; } \
    void Set##Name(std::string value) {                      \
        fields_.Name = std::move(value);                     \
        Changed();                                           \
    }
    bool Enabled() const { return fields_.Enabled; }
    bool HangDetection() const { return fields_.HangDetection; }
    QUILLAN_OPTION(bool, HandlingEnabled)
    QUILLAN_OPTION(bool, LogEnabled)
    QUILLAN_OPTION(bool, SaveLogFile)
    QUILLAN_OPTION(bool, AppendLogs)
    QUILLAN_OPTION(uint8_t, LogFlags)
    QUILLAN_OPTION(uint8_t, InitialTab)
    QUILLAN_OPTION(uint32_t, HangTimeout)
    QUILLAN_TEXT_OPTION(HangMessage)
    QUILLAN_TEXT_OPTION(SmtpSender)
    QUILLAN_TEXT_OPTION(SmtpHost)
    QUILLAN_OPTION(uint16_t, SmtpPort)
    QUILLAN_TEXT_OPTION(SmtpUser)
    QUILLAN_TEXT_OPTION(SmtpPassword)
    QUILLAN_OPTION(uint8_t, TerminateAction)
    QUILLAN_OPTION(bool, ShowTerminateButton)
    uint32_t MaxLogReports() const { return fields_.MaxLogReports; }
    // 0 is stored as 1: a log always keeps the report just made.
    void SetMaxLogReports(uint32_t value);
    QUILLAN_OPTION(uint32_t, ReportsBeforeTerminateButton)
    QUILLAN_TEXT_OPTION(OutputPath)
    QUILLAN_TEXT_OPTION(MailRecipients)
    QUILLAN_TEXT_OPTION(MailSubject)
    QUILLAN_TEXT_OPTION(MailBody)
    QUILLAN_OPTION(uint8_t, MailMethod)
    QUILLAN_OPTION(uint8_t, UploadMethod)
    QUILLAN_TEXT_OPTION(UploadUrl)
    QUILLAN_TEXT_OPTION(UploadUser)
    QUILLAN_TEXT_OPTION(UploadPassword)
    QUILLAN_OPTION(uint32_t, UploadPort)
    QUILLAN_TEXT_OPTION(ExtraFiles)
    QUILLAN_OPTION(uint16_t, SendFlags)
    QUILLAN_OPTION(uint8_t, DialogFlags)
    QUILLAN_OPTION(uint32_t, DialogAutoCloseSeconds)
    QUILLAN_TEXT_OPTION(SupportUrl)
    QUILLAN_TEXT_OPTION(HtmlLayout)
    QUILLAN_OPTION(uint8_t, StackFlags)
    QUILLAN_OPTION(uint8_t, BehaviourFlags)
    QUILLAN_OPTION(uint8_t, CrashBurstAction)
    QUILLAN_OPTION(uint32_t, CrashBurstCount)
    QUILLAN_OPTION(uint32_t, CrashBurstMinutes)
    uint64_t DetailMask() const { return fields_.DetailMask; }
    // Only the low 40 bits are kept.
    void SetDetailMask(uint64_t value);
#undef QUILLAN_OPTION
#undef QUILLAN_TEXT_OPTION

    // Whether a report item (section and item from 1) is shown; items without a bit are shown.
    bool DetailShown(int section, int item) const;

    // The exception filter: parallel lists of class names and messages shown instead of a report.
    const std::vector<std::string>& FilterClasses() const { return fields_.FilterClasses; }
    const std::vector<std::string>& FilterMessages() const { return fields_.FilterMessages; }
    void AddFilter(std::string className, std::string message);
    void ClearFilters();

    // One entry of Texts; an index outside 0..95 gives an empty text.
    const std::string& Text(int index) const;
    const std::string& Text(TMishapText id) const { return Text(static_cast<int>(id)); }
    const std::array<std::string, kMishapTextCount>& Texts() const { return fields_.Texts; }
    // Ignored for an index outside 0..95.
    void SetText(int index, std::string value);
    void SetText(TMishapText id, std::string value) { SetText(static_cast<int>(id), std::move(value)); }

    // File name of the module whose options these are; not stored in the stream.
    const std::string& ModuleName() const { return moduleName_; }
    void SetModuleName(std::string value) { moduleName_ = std::move(value); }

private:
    // Every stored field, so that Assign, Reset and a failed load stay one assignment each.
    struct Fields {
        bool Enabled = true;
        bool HandlingEnabled = true;
        bool LogEnabled = false;
        bool SaveLogFile = true;
        bool AppendLogs = false;
        uint8_t LogFlags = lfGatherModules | lfGatherCpu;
        uint8_t InitialTab = 0;
        bool HangDetection = false;
        uint32_t HangTimeout = 60;
        std::string HangMessage;
        std::string SmtpSender;
        std::string SmtpHost;
        uint16_t SmtpPort = 25;
        std::string SmtpUser;
        std::string SmtpPassword;
        uint8_t TerminateAction = 1;
        bool ShowTerminateButton = true;
        uint32_t MaxLogReports = 32;
        uint32_t ReportsBeforeTerminateButton = 3;
        std::string OutputPath;
        std::string MailRecipients;
        std::string MailSubject;
        std::string MailBody;
        uint8_t MailMethod = 0;
        uint8_t UploadMethod = 0;
        std::string UploadUrl;
        std::string UploadUser;
        std::string UploadPassword;
        uint32_t UploadPort = 0;
        std::string ExtraFiles;
        uint16_t SendFlags = sfShowProgress | sfAttachScreenshot | sfAttachLastHtmlPage;
        uint8_t DialogFlags = 0x1F;
        uint32_t DialogAutoCloseSeconds = 0;
        std::string SupportUrl;
        std::string HtmlLayout;
        uint8_t StackFlags = 0x0F;
        uint8_t BehaviourFlags = bfPreferMainModule | bfClipboardOnSendFailure;
        uint8_t CrashBurstAction = 1;
        uint32_t CrashBurstCount = 10;
        uint32_t CrashBurstMinutes = 1;
        uint64_t DetailMask = kDetailMaskAll;
        std::vector<std::string> FilterClasses;
        std::vector<std::string> FilterMessages;
        std::array<std::string, kMishapTextCount> Texts;

        Fields();
        bool operator==(const Fields&) const = default;
    };
    friend struct OptionsStreamAccess;

    Fields fields_;
    std::string moduleName_;
};

// Default string values.
inline constexpr std::string_view kDefaultHangMessage = "The application seems to be frozen.";
inline constexpr std::string_view kDefaultSmtpSender = "user@localhost";
extern const std::string_view kDefaultHtmlLayout;

}  // namespace quillan::crash
