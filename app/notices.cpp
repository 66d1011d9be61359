#include "app/notices.h"

#include "engine/settings/settings.h"
#include "engine/store/template_loader.h"
#include "framework/core/file_io.h"

namespace quillan {
namespace {

constexpr const char* kCutMark = "...";

std::string UnreadableBalloon(const std::string& file, const std::string& why) {
    return "Файл шаблонов «" + file + "» не удалось прочитать (" + why + "). Исправить его можно в «Настройках».";
}

std::string MissingBalloon(const std::string& file) {
    return "Файла шаблонов «" + file + "» нет. Шаблоны можно завести в «Настройках».";
}

// The full path when the text fits with it, else the file's name alone.
template <typename Compose>
std::string WithFittingName(const std::string& path, Compose compose) {
    std::string whole = compose(path);
    if (whole.size() <= kBalloonTextLimit) return FitBalloon(whole);
    return FitBalloon(compose(ExtractFileName(path)));
}

}  // namespace

TTemplateFileNotice DescribeTemplateFileProblem(const std::string& path, bool exists, const std::exception& e) {
    TTemplateFileNotice notice;
    if (!exists) {
        notice.MenuLines = {"Файла шаблонов «" + path + "» нет.", "Шаблоны можно завести в «Настройках»."};
        notice.Balloon = WithFittingName(path, MissingBalloon);
        return notice;
    }
    const std::string why = DescribeReadError(e);
    notice.MenuLines = {"Файл шаблонов «" + path + "» не удалось прочитать:", why,
                        "Исправить его можно в «Настройках»."};
    notice.Balloon = WithFittingName(path, [&](const std::string& file) { return UnreadableBalloon(file, why); });
    return notice;
}

std::string RestartedBalloon(const std::string& logPath) {
    const std::string restarted = "Quillan был перезапущен после сбоя.";
    if (logPath.empty()) return FitBalloon(restarted);
    return WithFittingName(logPath,
                           [&](const std::string& log) { return restarted + " Отчёт о сбое записан в журнал «" + log + "»."; });
}

std::string HotKeyTakenBalloon(const std::string& hotKeyName) {
    return FitBalloon("Сочетание " + hotKeyName +
                      " занято другой программой, и меню шаблонов им не открыть. Другое сочетание можно выбрать "
                      "в «Настройках».");
}

std::string ElevatedTargetBalloon(const std::string& program) {
    return FitBalloon("Программа «" + program +
                      "» запущена от имени администратора, и шаблоны в неё не вставить. "
                      "Чтобы вставлять в неё, запустите " +
                      std::string(kProductName) + " от имени администратора.");
}

std::string FitBalloon(const std::string& text) {
    std::string lines = text;
    size_t lineStart = 0;
    size_t lastBlank = std::string::npos;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == '\n') {
            lineStart = i + 1;
            lastBlank = std::string::npos;
            continue;
        }
        if (lines[i] == ' ') lastBlank = i;
        if (i - lineStart >= kBalloonLineLimit && lastBlank != std::string::npos && lastBlank >= lineStart) {
            lines[lastBlank] = '\n';
            lineStart = lastBlank + 1;
            lastBlank = std::string::npos;
        }
    }
    std::string ended;
    for (char c : lines) {
        if (c == '\n') ended += kBalloonLineEnd;
        ended += c;
    }
    ended += kBalloonLineEnd;
    if (ended.size() <= kBalloonTextLimit) return ended;
    const std::string cutMark = std::string(kCutMark) + kBalloonLineEnd;
    return ended.substr(0, kBalloonTextLimit - cutMark.size()) + cutMark;
}

}  // namespace quillan
