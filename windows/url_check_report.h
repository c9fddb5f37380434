#pragma once

#include "access_settings.h"
#include "http_request.h"

#include <QString>

class QWidget;

// Checks the endpoint's URL as the platform does when the URL is saved, and
// says in a message box whether it passed and, when not, what came back.
void reportUrlCheck(QWidget *parent, const QString &url, const AccessSettings &access,
                    const HttpRequestFactory &createRequest);
