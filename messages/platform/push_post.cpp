#include "platform/push_post.h"

#include "http/answer_opening.h"
#include "http/post_failure.h"
#include "platform/signed_post.h"
#include "http/xml_post.h"

#include <variant>

namespace {

// The post signed and encrypted, or why it cannot go out.
std::variant<SignedPost, PostFailure> signedPost(const PushPostOrder &order)
{
    if (!order.signs)
        return SignedPost{order.url, order.body, std::nullopt, std::nullopt};
    try {
        // With no token the URL and body are those typed, byte for byte.
        SignedPost post = signPost(order.url, order.body, order.access, freshSigningInputs());
        if (post.problem)
            return PostFailure(PostFailure::BadAccessSettings, *post.problem);
        return post;
    } catch (const PostFailure &failure) {
        return failure; // libcrypto failed
    }
}

} // namespace

PushPostOutcome postPush(const PushPostOrder &order, const HttpRequestFactory &createRequest)
{
    PushPostOutcome outcome;
    ExchangeRecord &record = outcome.record;
    const std::variant<SignedPost, PostFailure> signing = signedPost(order);
    if (const auto *failure = std::get_if<PostFailure>(&signing)) {
        record.method = QStringLiteral("POST");
        record.url = order.url;
        noteFailure(record, *failure);
    } else {
        const SignedPost &post = std::get<SignedPost>(signing);
        try {
            outcome.shownText = XmlPost(post.url, post.body, createRequest, &record);
            const OpenedAnswer opened = openAnswer(outcome.shownText, order.access);
            record.answerChecks = opened.checks;
            record.decryptedText = opened.decrypted;
            // An answer that fails a check is shown as it came.
            if (opened.text)
                outcome.shownText = *opened.text;
            outcome.answerProblem = opened.problem;
        } catch (const PostFailure &failure) {
            // A request object that keeps no record still tells how it failed.
            if (!record.failure || record.failure->number != failure.number())
                noteFailure(record, failure);
        }
        record.plainMessage = post.plainMessage;
    }
    outcome.verdict = judgeExchange(record, order.body, order.access);
    return outcome;
}
