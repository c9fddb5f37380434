#include "platform/job_finish_samples.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

// As the platform lays a push out: one element a line, CR LF between lines.
QString jobFinish(qint64 createTime, quint64 msgId, const char *event, const QStringList &fields)
{
    QStringList lines{u"<xml>"_s,
                      u"<ToUserName><![CDATA[toUser]]></ToUserName>"_s,
                      u"<FromUserName><![CDATA[fromUser]]></FromUserName>"_s,
                      u"<CreateTime>%1</CreateTime>"_s.arg(createTime),
                      u"<MsgType><![CDATA[event]]></MsgType>"_s,
                      u"<Event><![CDATA[%1]]></Event>"_s.arg(QLatin1StringView(event)),
                      u"<MsgID>%1</MsgID>"_s.arg(msgId)};
    lines += fields;
    lines.append(u"</xml>"_s);
    return lines.join(u"\r\n"_s);
}

} // namespace

const QList<PushSample> &jobFinishSamples()
{
    static const QList<PushSample> samples = {
        {u"templatesendjobfinish"_s, u"模板消息发送结果事件"_s, true,
         [](qint64 t, quint64 id) {
             return jobFinish(t, id, "TEMPLATESENDJOBFINISH", {u"<Status><![CDATA[success]]></Status>"_s});
         }},
        {u"masssendjobfinish"_s, u"群发结果事件"_s, true,
         [](qint64 t, quint64 id) {
             return jobFinish(t, id, "MASSSENDJOBFINISH",
                              {u"<Status><![CDATA[sendsuccess]]></Status>"_s, u"<TotalCount>100</TotalCount>"_s,
                               u"<FilterCount>80</FilterCount>"_s, u"<SentCount>75</SentCount>"_s,
                               u"<ErrorCount>5</ErrorCount>"_s});
         }},
    };
    return samples;
}

const PushSample *findJobFinishSample(QStringView name)
{
    for (const PushSample &sample : jobFinishSamples()) {
        if (sample.name == name)
            return &sample;
    }
    return nullptr;
}
