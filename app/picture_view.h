// The picture area: a finished frame's picture with its result, fitted to the
// area or zoomed, on the user's own picture or on the network's input. The
// picture is scaled first and the result drawn afterwards at the screen's
// resolution, so that boxes and text stay sharp whatever the scale.
#pragma once

#include "picture/picture_geometry.h"
#include "picture/picture_request.h"
#include "outputs/result_picture.h"
#include "results/frame_result.h"

#include <QFont>
#include <QImage>
#include <QScrollArea>

#include <cstdint>
#include <string>
#include <vector>

class PictureView : public QScrollArea
{
    Q_OBJECT

public:
    enum class Source { Original, Network };

    explicit PictureView(QWidget *parent = nullptr);

    // The names that the results' class indexes stand for.
    void setLabels(const std::vector<std::string> &labels);
    // Shows a finished frame: its picture and what the network found in it
    // (an empty result for a picture not yet run). The picture's pixels are
    // shared, not copied.
    void showFrame(const PreparedPicture &picture, const FrameResult &result);
    void clear();
    bool hasFrame() const { return !picture.picture.isNull(); }
    std::uint64_t framesShown() const { return frameCount; }

    // The picture asked for; a raw binary image has only the network's.
    void setSource(Source source);
    Source source() const { return chosenSource; }
    Source shownSource() const;
    bool hasOriginal() const { return !picture.original.isNull(); }

    // Fit: the picture scaled to the area, aspect kept. Otherwise the zoom
    // factor applies (1: actual size) and scroll bars appear as needed.
    void setFitToWindow(bool fit);
    bool fitsToWindow() const { return fit; }
    void setZoom(double factor);
    // The scale at which the picture is shown now, fitted or not.
    double scale() const;
    void zoomIn();
    void zoomOut();
    static constexpr double minimumZoom = 1.0 / 16.0;
    static constexpr double maximumZoom = 16.0;

    // The shown result at the shown picture's own resolution: the original
    // picture with boxes and overlay, or the network's input.
    QImage resultImage() const;
    // The picture shown, without its result.
    const QImage &shownImage() const;
    // Where the picture lies on the canvas, in its pixels.
    QRect pictureRect() const;
    QWidget *canvas() const { return canvasWidget; }
    // The area a fitted picture is scaled into; empty while zoomed.
    QSize fittedArea() const;

signals:
    // The source, fit or zoom changed.
    void viewChanged();
    // The scale the picture is shown at may have changed (scale()): a
    // fitted picture's with the area's size, any with the picture's.
    void scaleChanged();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class Canvas;
    friend class Canvas;

    void paintCanvas(QPainter &painter, const QRect &exposed);
    // Network-input coordinates to the shown image's pixels.
    QTransform networkToImage() const;
    void updateCanvasSize();
    // Draws image, dimming and result into painter, the image occupying target.
    void drawFrame(QPainter &painter, const QRect &target, const QRect &visible, const QFont &font) const;
    // The shown image with the result to draw over it.
    ResultScene scene() const;
    // The shown image at size, dimmed where unseen: made ahead by Run Auto's
    // reader, or else here, once per picture and size.
    const QImage &scaledImage(const QSize &size) const;

    PreparedPicture picture;   // shares the frame's pixels
    QImage original;           // picture.original in a format the painter draws fast
    QImage networkPicture;     // the network's input with a segmentation painted in
    FrameResult result;
    PictureGeometry geometry;
    QImage mask;               // the class map over the original picture
    std::vector<std::string> labels;
    QFont labelFont;
    Source chosenSource = Source::Original;
    bool fit = true;
    double zoom = 1.0;
    std::uint64_t frameCount = 0;
    mutable QImage scaled;
    mutable qint64 scaledFrom = 0; // the cache key of the image scaled
    mutable QRect scaledCrop;      // and the crop dimmed around
    QWidget *canvasWidget = nullptr;
};
