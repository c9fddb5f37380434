#include "access_family_fields.h"

#include "pay/pay_notification.h"
#include "platform/access_settings_check.h"

#include <algorithm>
#include <array>

namespace {

const std::array<FamilyFields, 5> &families()
{
    static const std::array<FamilyFields, 5> table{{
        {Platform::OfficialAccount, QStringLiteral("AppID"), QStringLiteral("兼容模式和安全模式需要"), true, true, false, false, false, false,
         QStringLiteral("兼容模式和安全模式需要 EncodingAESKey 和 AppID")},
        {Platform::MiniProgram, QStringLiteral("AppID"), QStringLiteral("小程序的 AppID，兼容模式和安全模式需要"), true, true, true, false, false, false,
         QStringLiteral("兼容模式和安全模式需要 EncodingAESKey 和 AppID")},
        {Platform::WeCom, QStringLiteral("CorpID"), QStringLiteral("企业的 CorpID（第三方应用填 SuiteID）"), true, false, false, true, false, true,
         QStringLiteral("企业微信的回调总是加密，只用安全模式")},
        {Platform::OpenPlatform, QStringLiteral("第三方平台 AppID"), QStringLiteral("第三方平台自己的 AppID（component_appid）"), true, false, false, false, false, true,
         QStringLiteral("第三方平台的推送总是加密，只用安全模式")},
        {Platform::Pay, QStringLiteral("AppID"), QStringLiteral("与商户号绑定的 AppID"), false, false, false, false, true, false, QString()},
    }};
    return table;
}

bool isDigits(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<QString> paymentProblem(const AccessSettings &settings)
{
    if (settings.mchId.isEmpty())
        return QStringLiteral("微信支付需要商户号");
    if (!isDigits(settings.mchId))
        return QStringLiteral("商户号只能是数字，例如 1900000001");
    if (settings.appId.isEmpty())
        return QStringLiteral("微信支付需要 AppID");
    if (settings.apiV3Key.isEmpty())
        return QStringLiteral("微信支付需要 APIv3 密钥（商户平台上设置的 32 个字符）");
    return apiV3KeyProblem(settings.apiV3Key);
}

} // namespace

QList<Platform> dialogPlatforms()
{
    QList<Platform> platforms;
    for (const FamilyFields &fields : families())
        platforms.append(fields.platform);
    return platforms;
}

const FamilyFields &familyFields(Platform platform)
{
    const auto &table = families();
    const auto found = std::find_if(table.begin(), table.end(),
                                    [platform](const FamilyFields &fields) { return fields.platform == platform; });
    return found == table.end() ? table.front() : *found;
}

std::optional<QString> familyProblem(const AccessSettings &settings)
{
    const FamilyFields &fields = familyFields(settings.platform);
    if (fields.payment)
        return paymentProblem(settings);
    // Plain mode does not use the key: what is wrong with it is only a note.
    if (!fields.alwaysEncrypted && settings.mode == MessageMode::Plain)
        return std::nullopt;
    AccessSettings encrypted = settings;
    if (fields.alwaysEncrypted)
        encrypted.mode = MessageMode::Safe;
    if (const auto problem = accessSettingsProblem(encrypted)) {
        const bool badKey = problem->field == AccessSettingsProblem::AesKey && !encrypted.aesKey.isEmpty();
        if (!fields.alwaysEncrypted || badKey)
            return problem->chinese;
        // Named as the family names it: no mode was chosen, and a CorpID is no AppID.
        const QString needed = problem->field == AccessSettingsProblem::Token  ? QStringLiteral("Token")
            : problem->field == AccessSettingsProblem::AesKey                  ? QStringLiteral("EncodingAESKey")
                                                                               : fields.receiveId;
        return QStringLiteral("%1总是加密，需要 %2").arg(platformCaption(settings.platform), needed);
    }
    if (fields.agentId && settings.agentId.isEmpty())
        return QStringLiteral("企业微信需要 AgentID（应用页面上的一串数字）");
    if (fields.agentId && !isDigits(settings.agentId))
        return QStringLiteral("AgentID 只能是数字，例如 1000002");
    return std::nullopt;
}
