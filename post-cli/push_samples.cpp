#include "push_samples.h"

#include "samples.h"

using namespace Qt::Literals::StringLiterals;

namespace {

struct NamedSample {
    QString name;
    QString (*build)();
};

const QList<NamedSample> &windowSamples()
{
    static const QList<NamedSample> samples{
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
    for (const NamedSample &sample : windowSamples())
        names << sample.name;
    return names;
}

std::optional<QString> buildSample(const QString &name)
{
    for (const NamedSample &sample : windowSamples()) {
        if (sample.name == name)
            return sample.build();
    }
    return std::nullopt;
}
