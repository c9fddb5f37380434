#pragma once

#include "platform/access_settings.h"
#include "http/http_request.h"
#include "platform/url_check.h"

#include <QString>

class QWidget;

// Checks the endpoint's URL as the platform does when the URL is saved,
// the pointer busy meanwhile.
UrlCheckResult runUrlCheck(const QString &url, const AccessSettings &access, const HttpRequestFactory &createRequest);

// Says in a message box whether it passed and, when not, what came back;
// nothing when the user gave the check up.
void reportUrlCheck(QWidget *parent, const UrlCheckResult &result);
