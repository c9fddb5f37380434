#pragma once

#include <QString>

#include <stdexcept>

struct ExchangeRecord;

// Why an exchange could not be carried out: a number for the kind of failure
// and a description in the program's words, with the technical cause.
class PostFailure : public std::runtime_error {
public:
    enum Number {
        ConnectionRefused = 1,
        HostNotFound = 2,
        TimedOut = 3,
        Certificate = 4,
        UnsupportedScheme = 5,
        ConnectionClosed = 6,
        BadAnswer = 7,
        Redirect = 8,
        Proxy = 9,
        InvalidUrl = 10,
        Network = 11,
        InvalidCall = 12,
        Cancelled = 13,         // given up by the user: nothing is shown
        AnswerTooLarge = 14,    // over the answer cap
        BadAccessSettings = 15, // the access settings cannot sign or encrypt the post
        // 16 is no longer given.
        DeadlinePassed = 17,    // the exchange was not over by its deadline (an answer that trickles in)
        Crypto = 18,            // libcrypto could not sign, encrypt or give random bytes: nothing sent
    };

    PostFailure(Number number, const QString &description);

    int number() const { return number_; }
    QString description() const { return description_; }

private:
    Number number_;
    QString description_;
};

// Notes in the record that its exchange failed so, cancelled when given up.
void noteFailure(ExchangeRecord &record, const PostFailure &failure);
