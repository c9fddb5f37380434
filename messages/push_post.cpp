#include "push_post.h"

#include "answer_opening.h"
#include "post_failure.h"
#include "signed_post.h"
#include "xml_post.h"

namespace {

void noteFailure(ExchangeRecord &record, int number, const QString &description)
{
    record.failure = ExchangeFailureNote{number, description};
    record.cancelled = number == PostFailure::Cancelled;
}

} // namespace

PushPostOutcome postPush(const PushPostOrder &order, const HttpRequestFactory &createRequest)
{
    PushPostOutcome outcome;
    ExchangeRecord &record = outcome.record;
    // With no token the URL and body are those typed, byte for byte.
    const SignedPost post = signPost(order.url, order.body, order.access, freshSigningInputs());
    if (post.problem) {
        record.method = QStringLiteral("POST");
        record.url = order.url;
        noteFailure(record, PostFailure::BadAccessSettings, *post.problem);
    } else {
        try {
            outcome.shownText = XmlPost(post.url, post.body, createRequest, &record);
            const OpenedAnswer opened = openAnswer(outcome.shownText, order.access);
            record.answerChecks = opened.checks;
            record.decryptedText = opened.text;
            // An answer that fails a check is shown as it came.
            if (opened.text)
                outcome.shownText = *opened.text;
            outcome.answerProblem = opened.problem;
        } catch (const PostFailure &failure) {
            // A request object that keeps no record still tells how it failed.
            if (!record.failure || record.failure->number != failure.number())
                noteFailure(record, failure.number(), failure.description());
        }
    }
    record.plainMessage = post.plainMessage;
    outcome.verdict = judgeExchange(record, order.body, order.access);
    return outcome;
}
