#include "access_settings_dialog.h"

#include "platform/access_settings_check.h"
#include "access_settings_store.h"

#include <QButtonGroup>
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

} // namespace

AccessSettingsDialog::AccessSettingsDialog(const AccessSettings &settings, const AccessOverrides &fromCommandLine,
                                           QWidget *parent)
    : QDialog(parent)
    , m_token(new QLineEdit(settings.token, this))
    , m_aesKey(new QLineEdit(settings.aesKey, this))
    , m_aesKeyProblem(problemLabel(this))
    , m_appId(new QLineEdit(settings.appId, this))
    , m_openId(new QLineEdit(settings.openId, this))
    , m_caFile(new QLineEdit(settings.caFile, this))
    , m_plain(new QRadioButton(messageModeLabel(MessageMode::Plain), this))
    , m_compatible(new QRadioButton(messageModeLabel(MessageMode::Compatible), this))
    , m_safe(new QRadioButton(messageModeLabel(MessageMode::Safe), this))
    , m_modes(new QButtonGroup(this))
    , m_modeNote(problemLabel(this))
    , m_origins(new QLabel(this))
    , m_secretsPlace(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("AccessSettingsDialog"));
    setWindowTitle(QStringLiteral("接入设置"));

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
    auto *modeHint = new QLabel(QStringLiteral("兼容模式和安全模式需要 EncodingAESKey 和 AppID"), this);
    modeHint->setEnabled(false); // a hint, in the style's quieter colour

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(QStringLiteral("Token:"), m_token);
    form->addRow(QStringLiteral("EncodingAESKey:"), m_aesKey);
    form->addRow(QString(), m_aesKeyProblem);
    form->addRow(QStringLiteral("AppID:"), m_appId);
    form->addRow(QStringLiteral("OpenID:"), m_openId);
    form->addRow(QStringLiteral("消息加解密方式:"), modeRow);
    form->addRow(QString(), modeHint);
    form->addRow(QString(), m_modeNote);
    form->addRow(QStringLiteral("信任的证书:"), caFileRow);

    m_secretsPlace->setObjectName(QStringLiteral("secretsPlace"));
    switch (savedSecretsPlace()) {
    case SecretsPlace::NotSaved:
        m_secretsPlace->setText(QStringLiteral("Token 和 EncodingAESKey 将保存在系统钥匙环中（没有钥匙环时存入仅本人可读的设置文件）"));
        break;
    case SecretsPlace::Keyring:
        m_secretsPlace->setText(QStringLiteral("Token 和 EncodingAESKey 保存在系统钥匙环中"));
        break;
    case SecretsPlace::File:
        m_secretsPlace->setText(QStringLiteral("Token 和 EncodingAESKey 保存在仅本人可读的设置文件中（没有可用的钥匙环）"));
        break;
    }
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
    for (QLineEdit *field : {m_token, m_aesKey, m_appId})
        connect(field, &QLineEdit::textChanged, this, &AccessSettingsDialog::showProblems);
    connect(m_modes, &QButtonGroup::idToggled, this, &AccessSettingsDialog::showProblems);

    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    markOrigins(fromCommandLine);
    showProblems();
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
    return settings;
}

void AccessSettingsDialog::accept()
{
    if (blockingProblem(settings()))
        return;
    QDialog::accept();
}

void AccessSettingsDialog::showProblems()
{
    const AccessSettings current = settings();
    const auto keyProblem = aesKeyProblem(current.aesKey);
    // Plain mode does not use the key: what is wrong with it is a note, not a refusal.
    const bool keyUnused = current.mode == MessageMode::Plain;
    showProblem(m_aesKeyProblem, !keyProblem ? QString()
                                 : keyUnused ? keyProblem->chinese + QStringLiteral("（明文模式用不到它，仍可确定）")
                                             : keyProblem->chinese);
    const auto problem = blockingProblem(current);
    showProblem(m_modeNote, problem && !keyProblem ? problem->chinese : QString());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!problem);
    growToFit();
}

std::optional<AccessSettingsProblem> AccessSettingsDialog::blockingProblem(const AccessSettings &settings)
{
    if (settings.mode == MessageMode::Plain)
        return std::nullopt;
    return accessSettingsProblem(settings);
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
