#pragma once

#include "platform/access_settings.h"
#include "http/curl_exchange.h"
#include "form2.h"
#include "http/http_request.h"
#include "program_options.h"
#include "platform/push_post.h"
#include "toolkit/program_wide_window.h"
#include "toolkit/waiting_loop.h"
#include "toolkit/window.h"

class MainWindowMenu;
class PlatformDeliveryEntry;
class MultiLineTextBox;
class QLabel;
class QPushButton;
class SingleLineTextBox;

// Makes the request object of one post from the settings the window gives
// it, how to wait for the exchange among them; a test hands in its own.
using PostRequestFactory = std::function<std::unique_ptr<HttpRequest>(const ExchangeSettings &)>;
std::unique_ptr<HttpRequest> createNetworkRequest(const ExchangeSettings &settings);

// The main window: the endpoint box, the XML box, three load buttons, the
// post button and a one-line hint. Posting fills and shows the program's
// one result window. While a post waits, Esc or closing the window gives it
// up.
class Form1 : public Window {
    Q_OBJECT
public:
    explicit Form1(ProgramWideWindow<Form2> &resultWindow,
                   PostRequestFactory createRequest = createNetworkRequest, QWidget *parent = nullptr);

    // The settings each post is signed and encrypted with; Label1 says which.
    const AccessSettings &accessSettings() const { return access_; }
    void setAccessSettings(const AccessSettings &settings);
    // Which of them this run's command line gave: the dialog marks them.
    const AccessOverrides &commandLineSettings() const { return commandLine_; }
    void setCommandLineSettings(const AccessOverrides &given) { commandLine_ = given; }

    // What Label1 says: the settings in use, a post under way, the verdict
    // of the last one. A screen reader hears it as the label's description.
    void showAccessHint();
    void showWaiting(int secondsWaited);
    void showVerdict(const PushPostOutcome &outcome);
    // A word that must be said once (the history file failed), cut to fit.
    void showNote(const QString &note);
    // The post's answer in the result window, brought up front.
    void showAnswer(const PushPostOutcome &outcome);

    // The context menu of the window and its boxes, for more entries.
    MainWindowMenu &contextMenu() const { return *menu_; }
    // 平台投递: checked, a post is delivered as the platform delivers it.
    PlatformDeliveryEntry &deliveryEntry() const { return *delivery_; }

    // The controls, by their names in the layout table.
    SingleLineTextBox *Text1() const { return Text1_; }
    MultiLineTextBox *Text2() const { return Text2_; }
    QPushButton *Command1() const { return Command1_; }
    QPushButton *Command2() const { return Command2_; }
    QPushButton *Command3() const { return Command3_; }
    QPushButton *Command4() const { return Command4_; }
    QLabel *Label1() const { return Label1_; }

signals:
    // A post was carried out or failed (a refused short endpoint is no post).
    void posted(const PushPostOutcome &outcome);
    // The URL check was carried out or failed.
    void urlChecked(const ExchangeRecord &record, bool passed, const QString &explanation);
    // The user set new access settings in the dialog.
    void accessSettingsEdited(const AccessSettings &settings);
    void accessSettingsChanged(const AccessSettings &settings);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    class PostUnderWay;

    void Text1Click();
    void Command1Click();
    void Command2Click();
    void Command3Click();
    void Command4Click();

    void setLabel1(const QString &text);

    // Found once, after the layout table has made them.
    SingleLineTextBox *const Text1_;
    MultiLineTextBox *const Text2_;
    QPushButton *const Command1_;
    QPushButton *const Command2_;
    QPushButton *const Command3_;
    QPushButton *const Command4_;
    QLabel *const Label1_;
    ProgramWideWindow<Form2> &resultWindow_;
    PostRequestFactory createRequest_;
    WaitingLoop waiting_;
    AccessSettings access_;
    AccessOverrides commandLine_;
    const QString unsignedHint_;
    MainWindowMenu *const menu_;
    PlatformDeliveryEntry *const delivery_;
    bool posting_ = false;
    bool closeRequested_ = false;
};
