#pragma once

#include "http/post_failure.h"
#include "http/xml_post.h"

#include <optional>

// What XmlPost gave: the answer's text, or the failure it raised.
struct PostOutcome {
    std::optional<QString> answer;
    std::optional<PostFailure> failure;

    QString describe() const
    {
        if (failure)
            return QStringLiteral("failure %1: %2").arg(failure->number()).arg(failure->description().left(300));
        return QStringLiteral("answer of %1 characters: %2").arg(answer->size()).arg(answer->left(100));
    }
};

inline PostOutcome postXml(const QString &url, const QString &body, const HttpRequestFactory &createRequest)
{
    try {
        return {XmlPost(url, body, createRequest), std::nullopt};
    } catch (const PostFailure &failure) {
        return {std::nullopt, failure};
    }
}
