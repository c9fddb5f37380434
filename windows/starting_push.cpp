#include "starting_push.h"

#include "platform/named_samples.h"
#include "platform/push_family.h"
#include "xml/push_field_set.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

SampleText startingPushText(const StartingPush &start, const QString &boxText, const AccessSettings &access)
{
    SampleText push{boxText, {}};
    if (start.sample) {
        const QStringList names = sampleNames(access.platform);
        if (const std::optional<QString> builtIn = buildSample(*start.sample, access)) {
            push.text = *builtIn;
        } else if (const std::optional<UserSample> own = findUserSample(start.samplesFolder, *start.sample)) {
            push = readSampleFile(own->file);
        } else {
            push.problem = u"--sample：%1没有名为“%2”的样例；可选：%3，或 %4 中的样例"_s.arg(
                platformCaption(access.platform), *start.sample, names.join(u", "),
                QDir::toNativeSeparators(start.samplesFolder));
        }
        if (!push.ok())
            return push;
    }
    if (const std::optional<QString> misfit = setPushFields(push.text, start.sets))
        push.problem = u"--set："_s + *misfit;
    return push;
}
