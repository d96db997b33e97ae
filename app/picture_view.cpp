#include "app/picture_view.h"

#include "results/class_colours.h"
#include "results/detection_drawing.h"
#include "results/result_painter.h"
#include "results/segmentation_overlay.h"
#include "outputs/result_picture.h"
#include "sources/shown_picture.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

// The widget inside the scroll area; the view paints it.
class PictureView::Canvas : public QWidget
{
public:
    explicit Canvas(PictureView *view) : view(view)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        view->paintCanvas(painter, event->rect());
    }

private:
    PictureView *view;
};

namespace {

// Formats the raster painter draws without converting them first.
QImage drawable(const QImage &image)
{
    if (image.isNull() || image.format() == QImage::Format_RGB32
        || image.format() == QImage::Format_ARGB32_Premultiplied)
        return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

} // namespace

PictureView::PictureView(QWidget *parent) : QScrollArea(parent), labelFont(detectionLabelFont())
{
    canvasWidget = new Canvas(this);
    setBackgroundRole(QPalette::Dark);
    setWidget(canvasWidget);
    setWidgetResizable(true);
    // Labels are placed in the visible part: scrolling places them anew.
    const auto repaint = [this] { canvasWidget->update(); };
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, repaint);
}

void PictureView::setLabels(const std::vector<std::string> &names)
{
    labels = names;
    canvasWidget->update();
}

void PictureView::showFrame(const PreparedPicture &frame, const FrameResult &frameResult)
{
    const QSize previousSize = shownImage().size();
    const QRect previousCrop = picture.crop;
    const QRect previousPlacement = picture.placement;
    const QSize previousNetworkSize = picture.picture.size();
    // The pictures only: the input tensor (megabytes) is the board's business.
    picture.picture = frame.picture;
    picture.original = frame.original;
    picture.crop = frame.crop;
    picture.placement = frame.placement;
    picture.originalShown = frame.originalShown;
    picture.networkShown = frame.networkShown;
    result = frameResult;
    original = drawable(picture.original);
    if (picture.crop != previousCrop || picture.placement != previousPlacement
        || picture.picture.size() != previousNetworkSize || geometry.isNull())
        geometry = pictureGeometry(picture);

    networkPicture = drawable(picture.picture);
    mask = QImage();
    if (!result.classMap.classes.empty()) {
        const std::vector<QRgb> &colours = segmentationColours();
        paintClassMap(networkPicture, result.classMap, colours);
        mask = classMapMask(result.classMap, colours);
    }
    ++frameCount;
    if (shownImage().size() != previousSize)
        updateCanvasSize();
    canvasWidget->update();
}

void PictureView::clear()
{
    picture = PreparedPicture();
    original = networkPicture = mask = scaled = QImage();
    result = FrameResult();
    geometry = PictureGeometry();
    updateCanvasSize();
}

PictureView::Source PictureView::shownSource() const
{
    return chosenSource == Source::Original && hasOriginal() ? Source::Original : Source::Network;
}

void PictureView::setSource(Source source)
{
    if (source == chosenSource)
        return;
    chosenSource = source;
    updateCanvasSize();
    emit viewChanged();
}

void PictureView::setFitToWindow(bool fitToWindow)
{
    if (fitToWindow == fit)
        return;
    fit = fitToWindow;
    updateCanvasSize();
    emit viewChanged();
}

void PictureView::setZoom(double factor)
{
    if (!std::isfinite(factor))
        return;
    factor = std::clamp(factor, minimumZoom, maximumZoom);
    if (!fit && factor == zoom)
        return;
    fit = false;
    zoom = factor;
    updateCanvasSize();
    emit viewChanged();
}

void PictureView::zoomIn()
{
    setZoom(scale() * 1.25);
}

void PictureView::zoomOut()
{
    setZoom(scale() / 1.25);
}

double PictureView::scale() const
{
    if (!fit)
        return zoom;
    const QSize size = shownImage().size();
    if (size.isEmpty())
        return 1.0;
    return double(pictureRect().width()) / double(size.width());
}

const QImage &PictureView::shownImage() const
{
    return shownSource() == Source::Original ? original : networkPicture;
}

QRect PictureView::pictureRect() const
{
    const QSize image = shownImage().size();
    const QRect area = canvasWidget->rect();
    if (image.isEmpty())
        return QRect();
    const QSize shown = fit ? image.scaled(area.size(), Qt::KeepAspectRatio)
                            : QSize(std::max(1, int(std::lround(image.width() * zoom))),
                                    std::max(1, int(std::lround(image.height() * zoom))));
    // Fitted or zoomed out, the picture is centred in what it leaves of the
    // area; at a zoom of 1 or more it starts at the top left, where the
    // picture area has always shown it.
    if (!fit && zoom >= 1.0)
        return QRect(QPoint(0, 0), shown);
    return QRect(QPoint(std::max(0, (area.width() - shown.width()) / 2),
                        std::max(0, (area.height() - shown.height()) / 2)),
                 shown);
}

void PictureView::updateCanvasSize()
{
    const QSize image = shownImage().size();
    if (fit || image.isEmpty())
        canvasWidget->setMinimumSize(0, 0);
    else
        canvasWidget->setMinimumSize(std::min(int(std::lround(image.width() * zoom)), QWIDGETSIZE_MAX),
                                     std::min(int(std::lround(image.height() * zoom)), QWIDGETSIZE_MAX));
    setHorizontalScrollBarPolicy(fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(fit ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    canvasWidget->update();
    emit scaleChanged();
}

void PictureView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    canvasWidget->update();
    if (fit)
        emit scaleChanged();
}

QTransform PictureView::networkToImage() const
{
    return shownSource() == Source::Original ? geometry.networkToOriginal() : QTransform();
}

QSize PictureView::fittedArea() const
{
    return fit ? canvasWidget->size() : QSize();
}

const QImage &PictureView::scaledImage(const QSize &size) const
{
    const bool onOriginal = shownSource() == Source::Original;
    // The network's input with a class map painted in is not the one scaled ahead.
    const QImage *ahead = onOriginal ? &picture.originalShown : mask.isNull() ? &picture.networkShown : nullptr;
    if (ahead && !ahead->isNull() && ahead->size() == size)
        return *ahead;
    const QImage &image = shownImage();
    if (scaled.size() != size || scaledFrom != image.cacheKey() || scaledCrop != picture.crop) {
        scaled = onOriginal ? shownPicture(picture, true, size) : smoothlyScaled(image, size);
        scaledFrom = image.cacheKey();
        scaledCrop = picture.crop;
    }
    return scaled;
}

void PictureView::drawFrame(QPainter &painter, const QRect &target, const QRect &visible, const QFont &font) const
{
    const QImage &image = shownImage();
    if (image.isNull() || target.isEmpty())
        return;
    const bool onOriginal = shownSource() == Source::Original;
    // A picture smaller than the area is scaled once, not at every paint; one
    // zoomed in beyond it is drawn scaled where exposed.
    const QSize area = canvasWidget->size().expandedTo(visible.size());
    const QImage *scaledShown = nullptr;
    if (target.size() != image.size() && target.width() <= area.width() && target.height() <= area.height())
        scaledShown = &scaledImage(target.size());
    if (scaledShown && !scaledShown->isNull()) {
        painter.drawImage(target.topLeft(), *scaledShown); // dimmed already
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != image.size());
        painter.drawImage(target, image);
        if (onOriginal && !geometry.isNull())
            dimUnseen(painter, target, image.size(), geometry.crop());
    }

    drawSceneResult(painter, scene(), target, visible, font);
}

ResultScene PictureView::scene() const
{
    const bool onOriginal = shownSource() == Source::Original;
    return ResultScene{shownImage(),
                       result,
                       labels,
                       networkToImage(),
                       picture.picture.size(),
                       onOriginal ? geometry.crop() : QRect(),
                       onOriginal ? mask : QImage()};
}

void PictureView::paintCanvas(QPainter &painter, const QRect &exposed)
{
    const QRect target = pictureRect();
    // The background only around an opaque picture: it covers the rest.
    const QRegion background =
        shownImage().hasAlphaChannel() ? QRegion(exposed) : QRegion(exposed).subtracted(QRegion(target));
    for (const QRect &around : background)
        painter.fillRect(around, palette().color(QPalette::Dark));
    const QRect visible = target.intersected(canvasWidget->visibleRegion().boundingRect());
    drawFrame(painter, target, visible, labelFont);
}

QImage PictureView::resultImage() const
{
    return renderResultScene(scene(), labelFont, palette().color(QPalette::Dark));
}
