#include "ui/image_preview.h"

#include <QImage>
#include <QImageReader>
#include <QMouseEvent>
#include <QPixmap>
#include <QSizeF>
#include <algorithm>

// The picture resources live in the static ui library: register them
// explicitly so that the linker keeps them.
static void InitPreviewResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)done;
}

namespace wg {

QSize PreviewSize(QSize picture, bool resize) {
    const int w = picture.width();
    const int h = picture.height();
    if (!resize || w <= 0 || h <= 0 || (w <= kPreviewWidth && h <= kPreviewHeight)) {
        return picture;
    }
    const double a = static_cast<double>(w) / static_cast<double>(h);
    const double b = static_cast<double>(kPreviewWidth) / static_cast<double>(kPreviewHeight);
    int newWidth = 0;
    int newHeight = 0;
    if (a <= b) {
        newHeight = kPreviewHeight;
        newWidth = static_cast<int>(kPreviewHeight * a);
    } else {
        newWidth = kPreviewWidth;
        newHeight = static_cast<int>(kPreviewWidth / a);
    }
    // A very long, thin picture would truncate to nothing: keep a line of it.
    return QSize(std::max(newWidth, 1), std::max(newHeight, 1));
}

ImagePreview::ImagePreview(QWidget* parent) : QLabel(parent) {
    InitPreviewResources();
    setFixedSize(kPreviewWidth, kPreviewHeight);
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
    setCursor(Qt::PointingHandCursor);
}

bool ImagePreview::ShowPicture(const QString& path, bool resize) {
    QImageReader reader(path);
    // A picture saved under the wrong extension is still a picture.
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        return false;
    }
    const QSize target = PreviewSize(image.size(), resize);
    qreal ratio = 1.0;
    if (target != image.size()) {
        // Scaled once, to the screen's own pixels (a scale factor of 2 has
        // twice as many each way), so that the box is sharp on any screen.
        ratio = std::max<qreal>(devicePixelRatioF(), 1.0);
        const QSize pixels =
            (QSizeF(target) * ratio).toSize().boundedTo(image.size()).expandedTo(QSize(1, 1));
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.isNull()) {
            return false;
        }
        ratio = static_cast<qreal>(pixels.width()) / static_cast<qreal>(target.width());
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    Show(pixmap);
    return true;
}

void ImagePreview::ShowPlaceholder() {
    Show(QPixmap(QStringLiteral(":/images/placeholder.png")));
}

void ImagePreview::Show(const QPixmap& pixmap) {
    setPixmap(pixmap);
    m_shownSize = pixmap.isNull() ? QSize() : pixmap.deviceIndependentSize().toSize();
}

void ImagePreview::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

}  // namespace wg
