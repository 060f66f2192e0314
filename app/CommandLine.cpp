#include "app/CommandLine.h"

#include "forms/ErrorReporter.h"
#include "forms/ScreenChoice.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <exception>

namespace lmvo {

namespace {

// Length of the well-formed UTF-8 sequence that starts at `at` (no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when the byte there starts none.
qsizetype utf8Sequence(const QByteArray& bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, code = lead & 0x1F, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, code = lead & 0x0F, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, code = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

constexpr char16_t EscapeBase = 0xDC00; // a byte b that is not UTF-8 reads as EscapeBase + b

bool isEscapedByte(QChar c) { return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF; }

// The options, described once for parsing and for the help.
struct Options {
    Q_DECLARE_TR_FUNCTIONS(lmvo::CommandLine)

public:
    QCommandLineOption interval{QStringLiteral("interval"), tr("图片切换间隔，6 到 60 秒，默认 6 秒。"), tr("秒数"),
                                QStringLiteral("6")};
    QCommandLineOption loop{QStringLiteral("loop"), tr("循环播放。")};
    QCommandLineOption music{QStringLiteral("music"), tr("播放该文件夹中的背景音乐。"), tr("文件夹")};
    QCommandLineOption noSubfolders{QStringLiteral("no-subfolders"), tr("不包含子文件夹。")};
    QCommandLineOption shuffle{QStringLiteral("shuffle"), tr("随机顺序播放：每一轮重新打乱，同一轮内不重复。")};
    QCommandLineOption keepAspect{QStringLiteral("keep-aspect"),
                                  tr("保持图片比例：居中显示在黑色背景上，不拉伸到全屏。")};
    QCommandLineOption screen{QStringLiteral("screen"),
                              tr("在该屏幕上放映：屏幕编号（从 1 起，按窗口系统列出的顺序，主屏幕在前）"
                                 "或 xrandr 显示的输出名称（如 HDMI-1）。默认为鼠标指针所在的屏幕。"),
                              tr("屏幕")};

    void describe(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(
            tr("以动画切换效果全屏播放一个文件夹中的图片。不带参数启动时打开设置窗口。"));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({interval, loop, music, noSubfolders, shuffle, keepAspect, screen});
        parser.addPositionalArgument(tr("文件夹"), tr("要播放的图片所在的文件夹。"), tr("[文件夹]"));
    }
};

// The options every Qt program takes, which the application object takes for itself; Qt reads
// them with one dash or two, a value as the next argument or (for some) after '='.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption QtOptions[] = {
    {"platform", true},      {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"display", true},       {"session", true},            {"style", true},         {"stylesheet", true},
    {"qwindowgeometry", true}, {"geometry", true},         {"qwindowtitle", true},  {"title", true},
    {"qwindowicon", true},   {"icon", true},               {"name", true},          {"qmljsdebugger", true},
    {"reverse", false},      {"widgetcount", false},       {"nograb", false},       {"dograb", false},
    {"sync", false},         {"testability", false},
};

// The Qt option `argument` names (with its value attached after '=' or not), if any.
const QtOption* qtOptionOf(const QString& argument, bool& valueAttached)
{
    if (!argument.startsWith(u'-') || argument == QStringLiteral("-") || argument == QStringLiteral("--"))
        return nullptr;
    QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(u'=');
    valueAttached = equals >= 0;
    if (valueAttached)
        name.truncate(equals);
    for (const QtOption& o : QtOptions)
        if (name == QLatin1String(o.name) && (o.takesValue || !valueAttached))
            return &o;
    return nullptr;
}

CommandLine bad(const QString& error)
{
    CommandLine line;
    line.action = CommandLine::Action::BadArgument;
    line.error = error;
    return line;
}

// The show's choices from a parser that accepted the command line.
CommandLine showOf(const QCommandLineParser& parser, const Options& o)
{
    const QStringList folders = parser.positionalArguments();
    if (folders.size() > 1)
        return bad(Options::tr("只能指定一个图片文件夹，却给出了 %1 个").arg(folders.size()));
    if (folders.isEmpty())
        return bad(Options::tr("缺少图片文件夹（用法见 lmvo --help）"));
    if (folders[0].isEmpty())
        return bad(Options::tr("图片文件夹参数为空"));
    const QString seconds = parser.value(o.interval);
    const std::optional<int> interval = parseInterval(seconds);
    if (!interval || *interval < MinInterval || *interval > MaxInterval)
        return bad(Options::tr("--interval 须为 %1 到 %2 之间的整数秒数，而不是“%3”").arg(MinInterval).arg(MaxInterval).arg(seconds));
    if (parser.isSet(o.music) && parser.value(o.music).isEmpty())
        return bad(Options::tr("--music 的文件夹参数为空"));
    if (parser.isSet(o.screen) && parser.value(o.screen).isEmpty())
        return bad(Options::tr("--screen 的屏幕参数为空"));

    CommandLine line;
    line.action = CommandLine::Action::Show;
    ShowChoices& c = line.choices;
    c.pictureFolder = nativeBytes(folders[0]);
    c.music = parser.isSet(o.music);
    c.musicFolder = c.music ? nativeBytes(parser.value(o.music)) : std::string();
    c.loop = parser.isSet(o.loop);
    c.subfolders = parser.isSet(o.noSubfolders) ? Subfolders::Excluded : Subfolders::Included;
    c.shuffle = parser.isSet(o.shuffle);
    c.keepProportions = parser.isSet(o.keepAspect);
    c.interval = QString::number(*interval);
    c.screen = parser.value(o.screen);
    return line;
}

void printLineTo(std::FILE* stream, const QString& text)
{
    std::fputs((text + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

QString decodeArgument(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        if (const qsizetype length = utf8Sequence(bytes, at)) {
            text += QString::fromUtf8(bytes.constData() + at, length);
            at += length;
        } else {
            text += QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes[at++])));
        }
    }
    return text;
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decodeArgument(QByteArray(argv[i]));
    return arguments;
}

std::string nativeBytes(const QString& argument)
{
    std::string bytes;
    QString run;
    const auto flush = [&] {
        bytes += run.toUtf8().toStdString();
        run.clear();
    };
    for (qsizetype i = 0; i < argument.size(); ++i) {
        const QChar c = argument[i];
        if (c.isHighSurrogate() && i + 1 < argument.size() && argument[i + 1].isLowSurrogate()) {
            run += c;
            run += argument[++i];
        } else if (isEscapedByte(c)) {
            flush();
            bytes += static_cast<char>(c.unicode() - EscapeBase);
        } else {
            run += c;
        }
    }
    flush();
    return bytes;
}

QStringList withoutQtOptions(const QStringList& arguments)
{
    QStringList out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        bool valueAttached = false;
        const QtOption* option = i > 0 ? qtOptionOf(arguments[i], valueAttached) : nullptr;
        if (arguments[i] == QStringLiteral("--")) {
            out += arguments.mid(i);
            break;
        }
        if (!option)
            out << arguments[i];
        else if (option->takesValue && !valueAttached)
            ++i;
    }
    return out;
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    const Options o;
    QCommandLineParser parser;
    o.describe(parser);
    const QStringList own = withoutQtOptions(arguments);
    if (!parser.parse(own))
        return bad(parser.errorText());
    CommandLine line;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        line.action = CommandLine::Action::Help;
    else if (parser.isSet(QStringLiteral("version")))
        line.action = CommandLine::Action::Version;
    else if (own.size() > 1)
        line = showOf(parser, o);
    return line;
}

QString helpText()
{
    const Options o;
    QCommandLineParser parser;
    o.describe(parser);
    return parser.helpText();
}

std::optional<QString> unknownScreen(const ShowChoices& choices)
{
    if (choices.screen.isEmpty() || findScreen(choices.screen))
        return std::nullopt;
    return Options::tr("没有屏幕“%1”；已连接的屏幕：%2").arg(choices.screen, screenListText(connectedScreenNames()));
}

QString versionText() { return QStringLiteral("Lumivo " LMVO_VERSION); }

int answerInTerminal(const CommandLine& line)
{
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return ExitShown;
    case CommandLine::Action::Version:
        printLineTo(stdout, versionText());
        return ExitShown;
    default:
        printErrorLine(line.error);
        return ExitBadArgument;
    }
}

void printErrorLine(const QString& text) { printLineTo(stderr, QStringLiteral("lmvo: ") + text); }

int runCommandLineShow(ShowStarter& starter, const ShowChoices& choices, const LinePrinter& printLine)
{
    try {
        const std::optional<Refusal> refusal = starter.play(choices);
        if (!refusal)
            return ExitShown;
        // The box says "this folder"; the terminal line names it.
        printLine(refusal->folder.empty() ? refusal->text
                                          : QFile::decodeName(QByteArray::fromStdString(refusal->folder))
                                                + QStringLiteral(": ") + refusal->text);
        messageBoxes().show(nullptr, {refusal->text, noticeCaption(), BoxIcon::Stop});
    } catch (const std::exception& e) {
        const QString message = QString::fromUtf8(e.what());
        printLine(message);
        messageBoxes().show(nullptr, {errorBoxText(message), applicationTitle(), BoxIcon::Stop});
    }
    return ExitRefused;
}

} // namespace lmvo
