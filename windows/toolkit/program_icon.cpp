#include "program_icon.h"

#include <QIconEngine>
#include <QPainter>

#include <optional>

namespace {

// The icon file is read when a window system first asks for the icon's
// images, not when a window is made: reading it cost a noticeable part of
// the start, and the program makes windows (the exchange window) that may
// never be shown, on platforms (offscreen) that show no icon.
class ProgramIconEngine final : public QIconEngine {
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    // In device pixels, as the engine is asked (also by scaledPixmap's default).
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    QString key() const override { return QStringLiteral("veltrane_program_icon"); }
    QIconEngine *clone() const override { return new ProgramIconEngine; }

private:
    const QIcon &icon()
    {
        if (!icon_)
            icon_.emplace(QStringLiteral(":/icon/veltrane.ico"));
        return *icon_;
    }

    std::optional<QIcon> icon_;
};

} // namespace

QIcon programIcon()
{
    return QIcon(new ProgramIconEngine);
}
