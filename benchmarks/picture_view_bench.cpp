// What showing one frame costs the GUI thread in the picture area: the
// picture scaled to the area and the result drawn over it at screen
// resolution, for a 1920 x 1080 picture with 20 boxes in a 1920 x 1080 area;
// next to what the window did before, the boxes drawn on a copy of the
// 416 x 416 network input put into a label unscaled.
#include "app/picture_view.h"
#include "picture/picture_preparation.h"
#include "results/detection_drawing.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int networkSide = 416;

QImage photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(3);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb((x * 255) / width, (y * 255) / height, int(random() & 0x3f));
    }
    return image;
}

struct Frame
{
    PreparedPicture picture;
    FrameResult result;
    std::vector<std::string> labels{"person", "bicycle", "car", "motorbike"};

    Frame()
    {
        PictureRequest request;
        request.width = request.height = networkSide;
        request.depth = 3;
        request.divider = {255.0, 255.0, 255.0};
        picture = prepareDecodedPicture(photo(1920, 1080), request, false);
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
};

void showFrame(benchmark::State &state, PictureView::Source source, bool fit)
{
    const Frame frame;
    PictureView view;
    view.setLabels(frame.labels);
    view.setSource(source);
    if (!fit)
        view.setZoom(1.0);
    view.resize(1920, 1080);
    view.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        view.showFrame(frame.picture, frame.result);
        view.canvas()->repaint();
    }
}

void BM_OriginalFitted(benchmark::State &state)
{
    showFrame(state, PictureView::Source::Original, true);
}

void BM_OriginalActualSize(benchmark::State &state)
{
    showFrame(state, PictureView::Source::Original, false);
}

void BM_NetworkFitted(benchmark::State &state)
{
    showFrame(state, PictureView::Source::Network, true);
}

// The window before: boxes on a copy of the network input, shown unscaled.
void BM_BeforeNetworkUnscaled(benchmark::State &state)
{
    const Frame frame;
    QLabel label;
    label.resize(1920, 1080);
    label.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QImage canvas = frame.picture.picture;
        drawDetections(canvas, frame.result.detections, frame.labels);
        label.setPixmap(QPixmap::fromImage(canvas));
        label.repaint();
    }
}

} // namespace

BENCHMARK(BM_BeforeNetworkUnscaled)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NetworkFitted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OriginalFitted)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OriginalActualSize)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
