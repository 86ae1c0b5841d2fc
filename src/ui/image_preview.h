// The last-image box of the main window: 280 x 232 pixels, showing the newest
// downloaded picture (scaled down to fit when asked) or the placeholder.
#pragma once

#include <QLabel>
#include <QSize>
#include <QString>

class QMouseEvent;

namespace wg {

inline constexpr int kPreviewWidth = 280;
inline constexpr int kPreviewHeight = 232;

// The size a picture is shown at. With `resize` and a picture wider than 280
// or taller than 232, it is scaled to fit the box keeping its aspect ratio
// (truncated, at least 1 pixel each way); otherwise it keeps its own size.
QSize PreviewSize(QSize picture, bool resize);

class ImagePreview : public QLabel {
    Q_OBJECT
public:
    explicit ImagePreview(QWidget* parent = nullptr);

    // Decodes the picture at `path`, scales it by PreviewSize (smoothly) and
    // shows it. False when the file cannot be read or decoded; the box then
    // keeps what it showed.
    bool ShowPicture(const QString& path, bool resize);

    // Shows the placeholder picture.
    void ShowPlaceholder();

    // Size of the picture shown; empty when none.
    QSize ShownSize() const { return m_shownSize; }

signals:
    // The left mouse button was released inside the box.
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Show(const QPixmap& pixmap);

    QSize m_shownSize;
};

}  // namespace wg
