#include "junit_report.h"

#include <QXmlStreamWriter>

using namespace Qt::Literals::StringLiterals;

namespace {

QString secondsText(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

QString detail(const ConformanceCheck &check)
{
    return u"发送：%1\n收到：%2\n修正：%3\n"_s.arg(check.sent, check.got, check.fix.isEmpty() ? u"无"_s : check.fix);
}

void writeCase(QXmlStreamWriter &xml, const ConformanceCheck &check, const QString &suiteName)
{
    xml.writeStartElement(u"testcase"_s);
    xml.writeAttribute(u"name"_s, check.name);
    xml.writeAttribute(u"classname"_s, suiteName);
    xml.writeAttribute(u"time"_s, secondsText(check.seconds));
    if (check.skipped) {
        xml.writeStartElement(u"skipped"_s);
        xml.writeAttribute(u"message"_s, check.fix);
        xml.writeEndElement();
    } else if (check.outcome == VerdictLine::Fail) {
        xml.writeStartElement(u"failure"_s);
        xml.writeAttribute(u"message"_s, check.fix.isEmpty() ? check.got : check.fix);
        xml.writeAttribute(u"type"_s, u"conformance"_s);
        xml.writeCharacters(detail(check));
        xml.writeEndElement();
    } else if (check.outcome == VerdictLine::Warn) {
        xml.writeTextElement(u"system-out"_s, u"⚠ "_s + detail(check));
    }
    xml.writeEndElement();
}

} // namespace

QByteArray junitReport(const ConformanceRun &run, const QString &url, const QDateTime &started)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(u"testsuites"_s);
    xml.writeAttribute(u"name"_s, u"veltrane-post --conformance %1"_s.arg(url));
    int id = 0;
    for (const QString &group : conformanceGroups()) {
        QList<ConformanceCheck> cases;
        int failures = 0, skipped = 0;
        double seconds = 0;
        for (const ConformanceCheck &check : run.checks) {
            if (check.group != group)
                continue;
            cases.append(check);
            failures += !check.skipped && check.outcome == VerdictLine::Fail;
            skipped += check.skipped;
            seconds += check.seconds;
        }
        if (cases.isEmpty())
            continue;
        xml.writeStartElement(u"testsuite"_s);
        xml.writeAttribute(u"name"_s, group);
        xml.writeAttribute(u"id"_s, QString::number(id++));
        xml.writeAttribute(u"tests"_s, QString::number(cases.size()));
        xml.writeAttribute(u"failures"_s, QString::number(failures));
        xml.writeAttribute(u"errors"_s, u"0"_s);
        xml.writeAttribute(u"skipped"_s, QString::number(skipped));
        xml.writeAttribute(u"time"_s, secondsText(seconds));
        xml.writeAttribute(u"timestamp"_s, started.toUTC().toString(Qt::ISODate).chopped(1)); // no zone: xs:dateTime as CI tools write it
        for (const ConformanceCheck &check : cases)
            writeCase(xml, check, group);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}
