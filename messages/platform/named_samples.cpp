#include "platform/named_samples.h"

#include "platform/job_finish_samples.h"
#include "platform/more_samples.h"
#include "platform/samples.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The window's three buttons: constants, byte for byte.
struct WindowSample {
    QString name;
    QString (*build)();
};

const QList<WindowSample> &windowSamples()
{
    static const QList<WindowSample> samples{
        {u"text"_s, BuildTextSample},
        {u"picture"_s, BuildPictureSample},
        {u"location"_s, BuildLocationSample},
    };
    return samples;
}

// Only the official account has the window's samples and the job-finish pushes beside its list.
bool officialAccountList(Platform platform)
{
    return &pushSamples(platform) == &pushSamples();
}

} // namespace

QStringList sampleNames(Platform platform)
{
    QStringList names;
    if (officialAccountList(platform)) {
        for (const WindowSample &sample : windowSamples())
            names << sample.name;
    }
    for (const PushSample &sample : pushSamples(platform))
        names << sample.name;
    if (officialAccountList(platform)) {
        for (const PushSample &sample : jobFinishSamples())
            names << sample.name;
    }
    return names;
}

std::optional<QString> buildSample(const QString &name, const AccessSettings &access)
{
    if (officialAccountList(access.platform)) {
        for (const WindowSample &sample : windowSamples()) {
            if (sample.name == name)
                return sample.build();
        }
    }
    if (const PushSample *sample = findPushSample(access.platform, name))
        return buildPushSample(*sample, access); // the time of the post and fresh ids
    if (officialAccountList(access.platform)) {
        if (const PushSample *sample = findJobFinishSample(name))
            return buildPushSample(*sample, access);
    }
    return std::nullopt;
}
