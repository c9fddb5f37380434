#include "access_settings_dialog.h"

#include "platform/access_settings_check.h"
#include "access_family_fields.h"
#include "access_settings_store.h"
#include "pay_certificate_row.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel *problemLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(200, 0, 0));
    label->setPalette(palette);
    label->hide();
    return label;
}

const QString kFromCommandLine = QStringLiteral("来自本次运行的命令行：只用于本次，改动后才保存");
const QString kSaved = QStringLiteral("保存的设置");

void showProblem(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

// What saving keeps out of the plain settings file for that family, as the
// start of a sentence (a Latin word ends with its space).
QString secretsOf(Platform platform)
{
    return familyFields(platform).payment ? QStringLiteral("APIv3 密钥") : QStringLiteral("Token 和 EncodingAESKey ");
}

} // namespace

AccessSettingsDialog::AccessSettingsDialog(const AccessSettings &settings, const AccessOverrides &fromCommandLine,
                                           QWidget *parent)
    : QDialog(parent)
    , m_platform(new QComboBox(this))
    , m_format(new QComboBox(this))
    , m_token(new QLineEdit(settings.token, this))
    , m_aesKey(new QLineEdit(settings.aesKey, this))
    , m_aesKeyProblem(problemLabel(this))
    , m_mchId(new QLineEdit(settings.mchId, this))
    , m_appId(new QLineEdit(settings.appId, this))
    , m_agentId(new QLineEdit(settings.agentId, this))
    , m_apiV3Key(new QLineEdit(settings.apiV3Key, this))
    , m_payCertificate(new PayCertificateRow(this))
    , m_openId(new QLineEdit(settings.openId, this))
    , m_caFile(new QLineEdit(settings.caFile, this))
    , m_plain(new QRadioButton(messageModeLabel(MessageMode::Plain), this))
    , m_compatible(new QRadioButton(messageModeLabel(MessageMode::Compatible), this))
    , m_safe(new QRadioButton(messageModeLabel(MessageMode::Safe), this))
    , m_modes(new QButtonGroup(this))
    , m_modeHint(new QLabel(this))
    , m_modeNote(problemLabel(this))
    , m_origins(new QLabel(this))
    , m_secretsPlace(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
    , m_chosenMode(settings.mode)
{
    setObjectName(QStringLiteral("AccessSettingsDialog"));
    setWindowTitle(QStringLiteral("接入设置"));

    m_platform->setObjectName(QStringLiteral("platform"));
    for (Platform platform : dialogPlatforms())
        m_platform->addItem(platformCaption(platform), int(platform));
    m_platform->setCurrentIndex(m_platform->findData(int(settings.platform)));
    m_format->setObjectName(QStringLiteral("format"));
    m_format->addItem(QStringLiteral("XML"), int(BodyFormat::Xml));
    m_format->addItem(QStringLiteral("JSON"), int(BodyFormat::Json));
    m_format->setCurrentIndex(m_format->findData(int(settings.format)));
    m_format->setToolTip(QStringLiteral("与小程序后台“消息推送”中选的数据格式一致"));
    m_mchId->setObjectName(QStringLiteral("mchId"));
    m_mchId->setPlaceholderText(QStringLiteral("例如 1900000001"));
    m_agentId->setObjectName(QStringLiteral("agentId"));
    m_agentId->setPlaceholderText(QStringLiteral("应用的 AgentId，例如 1000002"));
    m_apiV3Key->setObjectName(QStringLiteral("apiV3Key"));
    m_apiV3Key->setPlaceholderText(QStringLiteral("32 个字符，商户平台上设置的"));
    m_apiV3Key->setMaxLength(200); // as the EncodingAESKey: a wrong key pasted whole, to see what is wrong

    m_token->setObjectName(QStringLiteral("token"));
    m_token->setPlaceholderText(QStringLiteral("留空：不签名，按原样发送"));
    m_aesKey->setObjectName(QStringLiteral("aesKey"));
    m_aesKey->setPlaceholderText(QStringLiteral("43 个字符，兼容模式和安全模式需要"));
    m_aesKey->setMaxLength(200); // room to paste a wrong key and see what is wrong with it
    // A whole key shows at once, to be compared with the platform's page.
    m_aesKey->setMinimumWidth(m_aesKey->fontMetrics().horizontalAdvance(
                                  QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQ"))
                              + 2 * m_aesKey->fontMetrics().averageCharWidth() + 12);
    m_aesKeyProblem->setObjectName(QStringLiteral("aesKeyProblem"));
    m_appId->setObjectName(QStringLiteral("appId"));
    m_appId->setPlaceholderText(QStringLiteral("兼容模式和安全模式需要"));
    m_openId->setObjectName(QStringLiteral("openId"));
    m_openId->setPlaceholderText(QStringLiteral("留空：取正文的 FromUserName"));
    m_modeNote->setObjectName(QStringLiteral("modeProblem"));
    m_caFile->setObjectName(QStringLiteral("caFile"));
    m_caFile->setPlaceholderText(QStringLiteral("留空：用系统信任的证书"));
    m_caFile->setToolTip(QStringLiteral("PEM 格式的证书文件，例如本地 HTTPS 接收端自己签发的证书"));
    auto *chooseCaFile = new QPushButton(QStringLiteral("选择…"), this);
    connect(chooseCaFile, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("信任的证书"), m_caFile->text(),
                                                          QStringLiteral("PEM 证书 (*.pem *.crt *.cer);;所有文件 (*)"));
        if (!file.isEmpty())
            m_caFile->setText(file);
    });
    auto *caFileRow = new QHBoxLayout;
    caFileRow->addWidget(m_caFile);
    caFileRow->addWidget(chooseCaFile);

    m_modes->addButton(m_plain, int(MessageMode::Plain));
    m_modes->addButton(m_compatible, int(MessageMode::Compatible));
    m_modes->addButton(m_safe, int(MessageMode::Safe));
    m_modes->button(int(settings.mode))->setChecked(true);
    auto *modeRow = m_modeRow = new QHBoxLayout;
    modeRow->addWidget(m_plain);
    modeRow->addWidget(m_compatible);
    modeRow->addWidget(m_safe);
    modeRow->addStretch();
    m_modeHint->setObjectName(QStringLiteral("modeHint"));
    m_modeHint->setEnabled(false); // a hint, in the style's quieter colour

    auto *form = m_form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(QStringLiteral("平台:"), m_platform);
    form->addRow(QStringLiteral("数据格式:"), m_format);
    form->addRow(QStringLiteral("Token:"), m_token);
    form->addRow(QStringLiteral("EncodingAESKey:"), m_aesKey);
    form->addRow(QString(), m_aesKeyProblem);
    form->addRow(QStringLiteral("商户号:"), m_mchId);
    form->addRow(QStringLiteral("AppID:"), m_appId);
    form->addRow(QStringLiteral("AgentID:"), m_agentId);
    form->addRow(QStringLiteral("APIv3 密钥:"), m_apiV3Key);
    form->addRow(QStringLiteral("平台证书序列号:"), m_payCertificate);
    form->addRow(QStringLiteral("OpenID:"), m_openId);
    form->addRow(QStringLiteral("消息加解密方式:"), modeRow);
    form->addRow(QString(), m_modeHint);
    form->addRow(QString(), m_modeNote);
    form->addRow(QStringLiteral("信任的证书:"), caFileRow);

    m_secretsPlace->setObjectName(QStringLiteral("secretsPlace"));
    // One line, never broken inside a word: the dialog widens to it.
    m_secretsPlace->setEnabled(false); // a note, in the style's quieter colour

    auto *whole = new QVBoxLayout(this);
    whole->addWidget(m_origins);
    whole->addLayout(form);
    whole->addWidget(m_secretsPlace);
    whole->addStretch();
    whole->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit *field : {m_token, m_aesKey, m_appId, m_agentId, m_mchId, m_apiV3Key})
        connect(field, &QLineEdit::textChanged, this, &AccessSettingsDialog::showProblems);
    connect(m_modes, &QButtonGroup::idToggled, this, &AccessSettingsDialog::showProblems);
    connect(m_platform, &QComboBox::currentIndexChanged, this, [this] {
        showFamily();
        showProblems();
    });

    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    markOrigins(fromCommandLine);
    showFamily();
    showProblems();
}

void AccessSettingsDialog::showFamily()
{
    const Platform platform = Platform(m_platform->currentData().toInt());
    const FamilyFields &fields = familyFields(platform);
    // Hidden rows keep what was typed in them: back on their family, it shows again.
    for (QWidget *field : {static_cast<QWidget *>(m_token), static_cast<QWidget *>(m_aesKey)})
        m_form->setRowVisible(field, fields.signs);
    m_form->setRowVisible(m_modeRow, fields.signs);
    m_form->setRowVisible(m_modeHint, fields.signs);
    m_form->setRowVisible(m_openId, fields.openId);
    m_form->setRowVisible(m_format, fields.format);
    m_form->setRowVisible(m_agentId, fields.agentId);
    m_form->setRowVisible(m_mchId, fields.payment);
    m_form->setRowVisible(m_apiV3Key, fields.payment);
    m_form->setRowVisible(m_payCertificate, fields.payment);
    if (fields.payment)
        m_payCertificate->load();

    auto *appIdLabel = qobject_cast<QLabel *>(m_form->labelForField(m_appId));
    appIdLabel->setText(fields.receiveId + (m_appIdFromCommandLine ? QStringLiteral("（命令行）:") : QStringLiteral(":")));
    m_appId->setPlaceholderText(fields.receiveIdHint);
    m_modeHint->setText(fields.modeHint);

    // Always encrypted: 安全模式 shown, not to be changed; the choice made
    // for the other families comes back with them.
    if (fields.alwaysEncrypted != m_modeFixed) {
        if (fields.alwaysEncrypted)
            m_chosenMode = MessageMode(m_modes->checkedId());
        m_modes->button(int(fields.alwaysEncrypted ? MessageMode::Safe : m_chosenMode))->setChecked(true);
        m_modeFixed = fields.alwaysEncrypted;
    }
    for (QRadioButton *mode : {m_plain, m_compatible, m_safe})
        mode->setEnabled(!fields.alwaysEncrypted);

    const QString secrets = secretsOf(platform);
    switch (savedSecretsPlace()) {
    case SecretsPlace::NotSaved:
        m_secretsPlace->setText(QStringLiteral("%1将保存在系统钥匙环中（没有钥匙环时存入仅本人可读的设置文件）").arg(secrets));
        break;
    case SecretsPlace::Keyring:
        m_secretsPlace->setText(QStringLiteral("%1保存在系统钥匙环中").arg(secrets));
        break;
    case SecretsPlace::File:
        m_secretsPlace->setText(QStringLiteral("%1保存在仅本人可读的设置文件中（没有可用的钥匙环）").arg(secrets));
        break;
    }
}

void AccessSettingsDialog::markOrigins(const AccessOverrides &fromCommandLine)
{
    auto *form = findChild<QFormLayout *>();
    QStringList given;
    const auto mark = [&](QWidget *field, bool fromLine, const QString &name) {
        auto *label = qobject_cast<QLabel *>(form->labelForField(field));
        if (fromLine) {
            given.append(name);
            label->setText(name + QStringLiteral("（命令行）:"));
        }
        const QString origin = fromLine ? kFromCommandLine : kSaved;
        label->setToolTip(origin);
        field->setToolTip(origin);
    };
    mark(m_token, fromCommandLine.token.has_value(), QStringLiteral("Token"));
    mark(m_aesKey, fromCommandLine.aesKey.has_value(), QStringLiteral("EncodingAESKey"));
    mark(m_appId, fromCommandLine.appId.has_value(), QStringLiteral("AppID"));
    m_appIdFromCommandLine = fromCommandLine.appId.has_value(); // showFamily names the row
    mark(m_openId, fromCommandLine.openId.has_value(), QStringLiteral("OpenID"));
    auto *modeLabel = qobject_cast<QLabel *>(form->labelForField(m_modeRow));
    if (fromCommandLine.mode) {
        given.append(QStringLiteral("消息加解密方式"));
        modeLabel->setText(QStringLiteral("消息加解密方式（命令行）:"));
    }
    modeLabel->setToolTip(fromCommandLine.mode ? kFromCommandLine : kSaved);

    m_origins->setObjectName(QStringLiteral("origins"));
    m_origins->setTextFormat(Qt::PlainText);
    m_origins->setWordWrap(true);
    m_origins->setText(given.isEmpty()
                           ? QString()
                           : QStringLiteral("标有“命令行”的是本次运行的命令行给出的值（%1），只用于本次运行："
                                            "不改动它，确定时保存的仍是原来保存的值。")
                                 .arg(given.join(QStringLiteral("、"))));
    m_origins->setVisible(!given.isEmpty());
}

AccessSettings AccessSettingsDialog::settings() const
{
    AccessSettings settings;
    settings.token = m_token->text().trimmed();
    settings.aesKey = m_aesKey->text().trimmed();
    settings.appId = m_appId->text().trimmed();
    settings.openId = m_openId->text().trimmed();
    settings.mode = MessageMode(m_modes->checkedId());
    settings.caFile = m_caFile->text().trimmed();
    settings.platform = Platform(m_platform->currentData().toInt());
    settings.format = BodyFormat(m_format->currentData().toInt());
    settings.agentId = m_agentId->text().trimmed();
    settings.mchId = m_mchId->text().trimmed();
    settings.apiV3Key = m_apiV3Key->text().trimmed();
    return settings;
}

void AccessSettingsDialog::accept()
{
    if (familyProblem(settings()))
        return;
    QDialog::accept();
}

void AccessSettingsDialog::showProblems()
{
    const AccessSettings current = settings();
    const bool keyShown = familyFields(current.platform).signs;
    const auto keyProblem = keyShown ? aesKeyProblem(current.aesKey) : std::nullopt;
    // Plain mode does not use the key: what is wrong with it is a note, not a refusal.
    const bool keyUnused = current.mode == MessageMode::Plain;
    showProblem(m_aesKeyProblem, !keyProblem ? QString()
                                 : keyUnused ? keyProblem->chinese + QStringLiteral("（明文模式用不到它，仍可确定）")
                                             : keyProblem->chinese);
    const auto problem = familyProblem(current);
    showProblem(m_modeNote, problem && !keyProblem ? *problem : QString());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!problem);
    growToFit();
}

void AccessSettingsDialog::growToFit()
{
    // A message that wraps needs more height than the dialog had when it
    // opened: the dialog grows, so that no line of it is cut off.
    if (!layout())
        return;
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    if (needed > height())
        resize(width(), needed);
}
