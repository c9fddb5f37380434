#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// The user's own samples: plain files, one per sample, named "<name>.xml" or
// "<name>.json" after what they hold, in a folder users may also edit by hand
// and keep in their own repository. Both front ends read the same folder.

// <data>/Veltrane/veltrane/samples: the window's AppDataLocation, spelled out
// so that the command line, which has another application name, finds it too.
QString userSamplesFolder();

struct UserSample {
    QString name; // the file's name without ".xml" / ".json"
    QString file; // absolute path
};

// The folder's samples, by name; a missing folder has none.
QList<UserSample> userSamples(const QString &folder);
std::optional<UserSample> findUserSample(const QString &folder, QStringView name);

// Text as it goes out: only bytes that come back unchanged as UTF-8 are
// taken, so that what is posted is the file byte for byte.
struct SampleText {
    QString text;
    QString problem; // in Chinese; empty: text is the file's
    bool ok() const { return problem.isEmpty(); }
};
SampleText sampleTextFromBytes(const QByteArray &bytes);
SampleText readSampleFile(const QString &file);

// Why a name cannot be a user sample's (empty, not a plain file name, or a
// built-in sample's name in any family); empty: it can.
QString userSampleNameProblem(const QString &name);

// Writes the text as UTF-8, whole or not at all; a sample of that name with
// the other extension is removed, so a name stays one file.
struct UserSampleSave {
    QString file;
    QString problem; // in Chinese; empty: saved
};
UserSampleSave saveUserSample(const QString &folder, const QString &name, const QString &text);

// Writes the text as UTF-8 bytes, whole or not at all.
QString writeTextFile(const QString &file, const QString &text);
