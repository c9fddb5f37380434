#include "fusion_frame_style.h"

#include <QApplication>
#include <QGroupBox>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

namespace {

// Fusion's own frame image and measures (Qt 6.4's QFusionStyle, PE_FrameGroupBox).
constexpr auto kFrameImage = ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png";
constexpr int kFrameTopMargin = 3;
constexpr QMargins kFrameImageBorders(6, 6, 6, 6);

class FusionFrameStyle final : public QProxyStyle {
public:
    FusionFrameStyle(QStyle *fusion, QPixmap frame)
        : QProxyStyle(fusion)
        , frame_(std::move(frame))
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element != PE_FrameGroupBox) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        // Room for the title above the frame, as Fusion leaves it.
        const auto *box = qobject_cast<const QGroupBox *>(widget);
        const bool untitled = box && !box->isCheckable() && box->title().isEmpty();
        const int top = untitled ? kFrameTopMargin
                                 : qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height())
                                       + kFrameTopMargin;
        qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), kFrameImageBorders, frame_);
    }

private:
    QPixmap frame_;
};

QStyle *fusionFrameStyle()
{
    static QPointer<QStyle> style;
    static bool tried = false;
    if (style || std::exchange(tried, true))
        return style;
    if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return nullptr;
    QImageReader reader(QString::fromLatin1(kFrameImage), "png");
    reader.setAutoDetectImageFormat(false);
    const QImage frame = reader.read();
    QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (frame.isNull() || !fusion) {
        delete fusion;
        return nullptr;
    }
    style = new FusionFrameStyle(fusion, QPixmap::fromImage(frame));
    style->setParent(qApp);
    return style;
}

} // namespace

void drawFrameWithoutImageProbe(QGroupBox *box)
{
    if (QStyle *style = fusionFrameStyle())
        box->setStyle(style);
}
