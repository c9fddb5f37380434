#include "platform/push_family.h"

#include <array>

namespace {

struct FamilyNames {
    Platform platform;
    const char *name;
    const char *caption;
};

constexpr std::array families{
    FamilyNames{Platform::OfficialAccount, "oa", "公众号"},
    FamilyNames{Platform::MiniProgram, "miniprogram", "小程序"},
    FamilyNames{Platform::WeCom, "wecom", "企业微信"},
    FamilyNames{Platform::OpenPlatform, "open", "第三方平台"},
    FamilyNames{Platform::Pay, "pay", "微信支付"},
};

const FamilyNames &namesOf(Platform platform)
{
    for (const FamilyNames &names : families) {
        if (names.platform == platform)
            return names;
    }
    return families.front();
}

} // namespace

QString platformName(Platform platform)
{
    return QString::fromLatin1(namesOf(platform).name);
}

std::optional<Platform> platformFromName(QStringView name)
{
    for (const FamilyNames &names : families) {
        if (name == QLatin1StringView(names.name))
            return names.platform;
    }
    return std::nullopt;
}

QString platformCaption(Platform platform)
{
    return QString::fromUtf8(namesOf(platform).caption);
}
