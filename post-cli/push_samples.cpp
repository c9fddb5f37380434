#include "push_samples.h"

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

} // namespace

QStringList sampleNames()
{
    QStringList names;
    for (const WindowSample &sample : windowSamples())
        names << sample.name;
    for (const PushSample &sample : pushSamples())
        names << sample.name;
    for (const PushSample &sample : jobFinishSamples())
        names << sample.name;
    return names;
}

std::optional<QString> buildSample(const QString &name)
{
    for (const WindowSample &sample : windowSamples()) {
        if (sample.name == name)
            return sample.build();
    }
    if (const PushSample *sample = findPushSample(name))
        return buildPushSample(*sample); // the time of the post and a fresh MsgId
    if (const PushSample *sample = findJobFinishSample(name))
        return buildPushSample(*sample);
    return std::nullopt;
}
