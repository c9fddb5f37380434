#pragma once

#include "platform/access_settings.h"

#include <QList>
#include <QString>

#include <optional>

// How 接入设置 shows one push family: what it calls its receive id, which
// rows it uses, and its message mode where it leaves no choice.
struct FamilyFields {
    Platform platform;
    QString receiveId;   // the AppID row's name: AppID, CorpID, 第三方平台 AppID
    QString receiveIdHint; // its placeholder: which id of the family's pages goes there
    bool signs;          // Token, EncodingAESKey and the message mode
    bool openId;         // the OpenID the signed URL carries
    bool format;         // 数据格式: XML or JSON
    bool agentId;        // WeCom's AgentID
    bool payment;        // 商户号 and APIv3 密钥
    bool alwaysEncrypted; // the mode is 安全模式, shown but not to be changed
    QString modeHint;    // under the mode row: what the mode needs, or why it is fixed
};

// The families in the order the dialog offers them.
QList<Platform> dialogPlatforms();
const FamilyFields &familyFields(Platform platform);

// What holds OK back for that family, in Chinese; nothing: OK is taken.
// The EncodingAESKey's own faults come from aesKeyProblem.
std::optional<QString> familyProblem(const AccessSettings &settings);

