// What showing one frame costs the GUI thread in the picture area, for a
// 1920 x 1080 picture with 20 boxes in a 1920 x 1080 area: the picture
// scaled to the area (or not) and the result drawn over it at screen
// resolution. Each frame is a different picture, as in a video or a list of
// photos, so that nothing is reused from the frame before.
//
// - Before: the view as it was, scaling with QPainter's smooth transformation
//   at every paint (its drawing code, kept here); and before that, the boxes
//   drawn on a copy of the 416 x 416 network input put into a label unscaled.
// - RunAuto: frames as Run Auto's reader thread hands them over, already
//   scaled for the area (DisplayScalingSource; Run scales its picture beside
//   the board's work alike); ReaderScaling is what that costs the reader per
//   new picture, and per picture that comes round again.
// - ViewScales: a picture the view scales itself (just opened, the window
//   resized, a video's single Run).
#include "app/picture_view.h"
#include "picture/picture_geometry.h"
#include "picture/picture_preparation.h"
#include "sources/display_scaling_source.h"
#include "sources/shown_picture.h"
#include "results/detection_drawing.h"
#include "results/result_painter.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int networkSide = 416;
constexpr int pictureCount = 6;

QImage photo(int width, int height, unsigned seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 255) / width, (y * 255) / height, int(random() & 0x3f));
    }
    return image;
}

// Hands out the prepared pictures round and round, as a picture list does.
class Pictures : public FrameSource
{
public:
    explicit Pictures(const std::vector<PreparedPicture> &pictures) : pictures(pictures) {}
    bool next(Frame &frame) override
    {
        frame.picture = pictures[index++ % pictures.size()];
        return true;
    }

private:
    const std::vector<PreparedPicture> &pictures;
    std::size_t index = 0;
};

struct Frames
{
    std::vector<PreparedPicture> pictures;
    FrameResult result;
    std::vector<std::string> labels{"person", "bicycle", "car", "motorbike"};

    Frames()
    {
        PictureRequest request;
        request.width = request.height = networkSide;
        request.depth = 3;
        request.divider = {255.0, 255.0, 255.0};
        for (int i = 0; i < pictureCount; ++i)
            pictures.push_back(prepareDecodedPicture(photo(1920, 1080, unsigned(i)), request, false));
        std::mt19937 random(5);
        std::uniform_int_distribution<int> place(0, networkSide - 60);
        std::uniform_int_distribution<int> extent(20, 120);
        for (int i = 0; i < 20; ++i) {
            Detection d;
            d.x = place(random);
            d.y = place(random);
            d.width = std::min(extent(random), networkSide - 1 - d.x);
            d.height = std::min(extent(random), networkSide - 1 - d.y);
            d.confidence = 0.5 + 0.02 * i;
            d.classIndex = i % 4;
            result.detections.push_back(d);
        }
        assignClassColours(result.detections);
    }

    // The pictures as Run Auto's reader thread scales them for the area.
    std::vector<PreparedPicture> scaledAhead(const QSize &area, bool original) const
    {
        Pictures source(pictures);
        DisplayScalingSource scaling(source);
        scaling.setTarget({area, original});
        std::vector<PreparedPicture> scaled;
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            Frame frame;
            scaling.next(frame);
            scaled.push_back(frame.picture);
        }
        return scaled;
    }
};

enum class Shown { OriginalFitted, NetworkFitted, OriginalActualSize };

void showFrames(benchmark::State &state, Shown shown, bool scaledAhead)
{
    const Frames frames;
    PictureView view;
    view.setLabels(frames.labels);
    view.setSource(shown == Shown::NetworkFitted ? PictureView::Source::Network : PictureView::Source::Original);
    if (shown == Shown::OriginalActualSize)
        view.setZoom(1.0);
    view.resize(1920, 1080);
    view.show();
    QCoreApplication::processEvents();
    const std::vector<PreparedPicture> pictures =
        scaledAhead ? frames.scaledAhead(view.fittedArea(), shown != Shown::NetworkFitted) : frames.pictures;
    std::size_t index = 0;
    for (auto _ : state) {
        view.showFrame(pictures[index++ % pictures.size()], frames.result);
        view.canvas()->repaint();
    }
}

void BM_RunAuto(benchmark::State &state, Shown shown)
{
    showFrames(state, shown, true);
}

void BM_ViewScales(benchmark::State &state, Shown shown)
{
    showFrames(state, shown, false);
}

// The reader thread's share: a new picture scaled and dimmed for the area,
// or one that came round again.
void BM_ReaderScaling(benchmark::State &state, bool repeated)
{
    const Frames frames;
    std::vector<PreparedPicture> pictures = frames.pictures;
    for (PreparedPicture &picture : pictures)
        picture.tensor.clear(); // the source's work, not the scaling's
    Pictures source(pictures);
    DisplayScalingSource scaling(source, repeated ? DisplayScalingSource::defaultBudget : 0);
    scaling.setTarget({QSize(1916, 1076), true});
    Frame frame;
    for (auto _ : state)
        scaling.next(frame);
}

// The scalers alone: Qt's smooth transformation against smoothlyScaled, from
// the 1920 x 1080 picture to range(0) x range(1).
void BM_ScaleQtSmooth(benchmark::State &state)
{
    const QImage picture = photo(1920, 1080, 1);
    const QSize size(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void BM_ScaleSmoothly(benchmark::State &state)
{
    const QImage picture = photo(1920, 1080, 1);
    const QSize size(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(smoothlyScaled(picture, size));
}

// The picture view before: the picture scaled by the painter at every paint.
class BeforeCanvas : public QWidget
{
public:
    BeforeCanvas(const Frames &frames, bool original) : frames(frames), original(original) {}
    void showPicture(const PreparedPicture &shown)
    {
        picture = shown;
        geometry = pictureGeometry(picture);
        repaint();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        const QImage &image = original ? picture.original : picture.picture;
        const QRect target(QPoint(0, 0), image.size().scaled(size(), Qt::KeepAspectRatio));
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, image);
        const QTransform imageToDevice = QTransform::fromScale(double(target.width()) / image.width(),
                                                               double(target.height()) / image.height());
        if (original)
            dimUnseen(painter, target, image.size(), geometry.crop());
        ResultPlacement placement;
        placement.networkToDevice = (original ? geometry.networkToOriginal() : QTransform()) * imageToDevice;
        placement.visible = target;
        placement.networkArea = placement.networkToDevice.mapRect(QRectF(QPointF(0, 0), QSizeF(picture.picture.size())));
        placement.font = detectionLabelFont();
        drawFrameResult(painter, frames.result, frames.labels, placement);
    }

private:
    const Frames &frames;
    const bool original;
    PreparedPicture picture;
    PictureGeometry geometry;
};

void BM_Before(benchmark::State &state, Shown shown)
{
    const Frames frames;
    BeforeCanvas canvas(frames, shown == Shown::OriginalFitted);
    canvas.resize(1916, 1076);
    canvas.show();
    QCoreApplication::processEvents();
    std::size_t index = 0;
    for (auto _ : state)
        canvas.showPicture(frames.pictures[index++ % frames.pictures.size()]);
}

// The window before the picture view: boxes on a copy of the network input, shown unscaled.
void BM_BeforeNetworkUnscaled(benchmark::State &state)
{
    const Frames frames;
    QLabel label;
    label.resize(1920, 1080);
    label.show();
    QCoreApplication::processEvents();
    std::size_t index = 0;
    ResultPlacement placement;
    placement.visible = frames.pictures.front().picture.rect();
    placement.font = detectionLabelFont();
    for (auto _ : state) {
        QImage canvas = frames.pictures[index++ % frames.pictures.size()].picture;
        QPainter painter(&canvas);
        drawFrameResult(painter, frames.result, frames.labels, placement);
        painter.end();
        label.setPixmap(QPixmap::fromImage(canvas));
        label.repaint();
    }
}

} // namespace

// Process CPU time: everything the frame costs, on whichever thread.
BENCHMARK(BM_BeforeNetworkUnscaled)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Before, NetworkFitted, Shown::NetworkFitted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_Before, OriginalFitted, Shown::OriginalFitted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_RunAuto, NetworkFitted, Shown::NetworkFitted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_RunAuto, OriginalFitted, Shown::OriginalFitted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_RunAuto, OriginalActualSize, Shown::OriginalActualSize)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_ViewScales, NetworkFitted, Shown::NetworkFitted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_ViewScales, OriginalFitted, Shown::OriginalFitted)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_ReaderScaling, NewPicture, false)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(BM_ReaderScaling, PictureAgain, true)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ScaleQtSmooth)->Args({1916, 1076})->Args({1260, 709})->Args({640, 360})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ScaleSmoothly)->Args({1916, 1076})->Args({1260, 709})->Args({640, 360})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
