#include "program_options.h"

#include "platform/access_settings_check.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

constexpr int kBadOption = 2;

ProgramOptions badOption(const QString &chinese, const QString &english)
{
    ProgramOptions options;
    options.exitStatus = kBadOption;
    options.toStderr = QStringLiteral("veltrane: %1\nveltrane: %2\n用法 / usage: veltrane --help\n").arg(chinese, english);
    return options;
}

} // namespace

AccessSettings AccessOverrides::over(AccessSettings saved) const
{
    saved.token = token.value_or(saved.token);
    saved.aesKey = aesKey.value_or(saved.aesKey);
    saved.appId = appId.value_or(saved.appId);
    saved.openId = openId.value_or(saved.openId);
    saved.mode = mode.value_or(saved.mode);
    return saved;
}

AccessEdit applyAccessEdit(const AccessSettings &saved, const AccessOverrides &overrides, const AccessSettings &edited)
{
    const AccessSettings shown = overrides.over(saved);
    AccessEdit edit{saved, overrides};
    const auto take = [](auto &savedField, auto &override, const auto &shownField, const auto &editedField) {
        if (editedField == shownField)
            return;
        savedField = editedField;
        override.reset();
    };
    take(edit.saved.token, edit.overrides.token, shown.token, edited.token);
    take(edit.saved.aesKey, edit.overrides.aesKey, shown.aesKey, edited.aesKey);
    take(edit.saved.appId, edit.overrides.appId, shown.appId, edited.appId);
    take(edit.saved.openId, edit.overrides.openId, shown.openId, edited.openId);
    take(edit.saved.mode, edit.overrides.mode, shown.mode, edited.mode);
    // No command-line option of the window gives these: the dialog's are the saved ones.
    edit.saved.caFile = edited.caFile;
    edit.saved.platform = edited.platform;
    edit.saved.format = edited.format;
    edit.saved.agentId = edited.agentId;
    edit.saved.mchId = edited.mchId;
    edit.saved.apiV3Key = edited.apiV3Key;
    return edit;
}

ProgramOptions parseProgramOptions(const QStringList &arguments, const AccessSettings &saved)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("向接口推送公众平台消息 / Posts the WeChat public platform's pushes to an endpoint.\n"
                       "命令行给出的接入设置只用于本次运行，不保存 / "
                       "Access settings given here are for this run only and are not saved."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption token({QStringLiteral("token")}, QStringLiteral("Token: 签名 / signs posts"),
                                   QStringLiteral("token"));
    const QCommandLineOption aesKey({QStringLiteral("aes-key")},
                                    QStringLiteral("EncodingAESKey (43 个字符 / 43 characters)"), QStringLiteral("key"));
    const QCommandLineOption appId({QStringLiteral("appid")}, QStringLiteral("AppID"), QStringLiteral("appid"));
    const QCommandLineOption openId({QStringLiteral("openid")},
                                    QStringLiteral("OpenID (默认取正文的 FromUserName / default: the body's FromUserName)"),
                                    QStringLiteral("openid"));
    const QCommandLineOption mode({QStringLiteral("mode")},
                                  QStringLiteral("消息模式 / message mode: plain (明文), compat (兼容), safe (安全)"),
                                  QStringLiteral("plain|compat|safe"));
    const QCommandLineOption sample({QStringLiteral("sample")},
                                    QStringLiteral("XML 框以这个样例开始（内置的或“我的样例”）/ "
                                                   "the XML box starts with this sample (built-in or the user's)"),
                                    QStringLiteral("name"));
    const QCommandLineOption set({QStringLiteral("set")},
                                 QStringLiteral("把 XML 框中推送的字段设为这个值，可重复 / "
                                                "sets a field of the box's push, repeatable (Content=退订)"),
                                 QStringLiteral("name=value"));
    const QCommandLineOption samplesDir({QStringLiteral("samples-dir")},
                                        QStringLiteral("“我的样例”所在的文件夹 / the folder of the user's samples"),
                                        QStringLiteral("dir"));
    parser.addOptions({token, aesKey, appId, openId, mode, sample, set, samplesDir});

    if (!parser.parse(arguments))
        return badOption(QStringLiteral("命令行选项有误：未知的选项，或选项缺少它的值"), parser.errorText());
    if (parser.isSet(help)) {
        ProgramOptions options;
        options.exitStatus = 0;
        options.toStdout = parser.helpText();
        return options;
    }
    if (parser.isSet(version)) {
        ProgramOptions options;
        options.exitStatus = 0;
        options.toStdout = QStringLiteral("veltrane %1\n").arg(QCoreApplication::applicationVersion());
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        const QString extra = parser.positionalArguments().join(u' ');
        return badOption(QStringLiteral("多余的参数：%1").arg(extra), QStringLiteral("unexpected argument: %1").arg(extra));
    }

    ProgramOptions options;
    const auto given = [&parser](const QCommandLineOption &option) -> std::optional<QString> {
        if (!parser.isSet(option))
            return std::nullopt;
        return parser.value(option).trimmed();
    };
    options.overrides.token = given(token);
    options.overrides.aesKey = given(aesKey);
    options.overrides.appId = given(appId);
    options.overrides.openId = given(openId);
    options.start.sample = given(sample);
    options.start.sets = parser.values(set);
    options.start.samplesFolder = given(samplesDir).value_or(userSamplesFolder());
    if (parser.isSet(samplesDir) && !QFileInfo(options.start.samplesFolder).isDir()) {
        return badOption(QStringLiteral("--samples-dir 的文件夹“%1”不存在").arg(options.start.samplesFolder),
                         QStringLiteral("--samples-dir: no folder \"%1\"").arg(options.start.samplesFolder));
    }
    if (const auto name = given(mode)) {
        options.overrides.mode = messageModeFromName(*name);
        if (!options.overrides.mode) {
            return badOption(QStringLiteral("--mode 只能是 plain、compat 或 safe，不能是“%1”").arg(*name),
                             QStringLiteral("--mode must be plain, compat or safe, not \"%1\"").arg(*name));
        }
    }
    // Saved settings alone are taken as they are, so that a hand-edited file
    // cannot keep the program from starting; the dialog shows what is wrong.
    const AccessOverrides &overrides = options.overrides;
    // A bad key saved beside plain mode is a note in the dialog: plain mode does not use it.
    AccessSettings checked = overrides.over(saved);
    if (checked.mode == MessageMode::Plain && !overrides.aesKey)
        checked.aesKey.clear();
    if (const auto problem = overrides.any() ? accessSettingsProblem(checked) : std::nullopt)
        return badOption(problem->chinese, problem->english);
    return options;
}
