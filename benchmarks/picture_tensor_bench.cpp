// Input tensor preparation from a decoded picture: centre crop, nearest-pixel
// scaling to 416 x 416 and normalisation to floats (rgb, /255, depth 3 padded
// to 4), against OpenCV doing the same crop and INTER_NEAREST scaling followed
// by cv::dnn::blobFromImage for the normalisation.
#include "picture/picture_preparation.h"

#include <benchmark/benchmark.h>

#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstdint>

namespace {

constexpr std::uint32_t inputSize = 416;

// The photo beside the repository, or a generated one of the same size.
const QImage &photo()
{
    static const QImage image = [] {
        const QString path = QStringLiteral(VRAX_SOURCE_DIR "/../shared/pictures/dog.jpg");
        QImage read = QFileInfo::exists(path) ? QImageReader(path).read() : QImage();
        if (!read.isNull())
            return read.convertToFormat(QImage::Format_RGB32);
        QImage made(768, 576, QImage::Format_RGB32);
        for (int y = 0; y < made.height(); ++y) {
            QRgb *line = reinterpret_cast<QRgb *>(made.scanLine(y));
            for (int x = 0; x < made.width(); ++x)
                line[x] = qRgb((x * 7 + y) & 0xff, (x ^ y) & 0xff, (x * y) & 0xff);
        }
        return made;
    }();
    return image;
}

PictureRequest request()
{
    PictureRequest request;
    request.width = inputSize;
    request.height = inputSize;
    request.format = InputFormat::Rgb;
    request.divider = {255.0, 255.0, 255.0};
    request.adder = {0.0, 0.0, 0.0};
    request.depth = 4;
    return request;
}

void BM_PrepareDecodedPicture(benchmark::State &state)
{
    const QImage &image = photo();
    const PictureRequest req = request();
    for (auto _ : state) {
        PreparedPicture prepared = prepareDecodedPicture(image, req, false);
        benchmark::DoNotOptimize(prepared.tensor.data());
    }
    state.SetLabel(std::to_string(image.width()) + "x" + std::to_string(image.height()));
}
BENCHMARK(BM_PrepareDecodedPicture)->Unit(benchmark::kMicrosecond)->UseRealTime();

// threads: 0 lets OpenCV use its thread pool as it likes, 1 keeps it on the
// calling thread like the preparation above.
void BM_OpenCvBlobFromImage(benchmark::State &state)
{
    const int previousThreads = cv::getNumThreads();
    if (state.range(0) == 1)
        cv::setNumThreads(1);
    const QImage &image = photo();
    // What an OpenCV program holds after decoding: 8-bit BGR.
    const cv::Mat bgra(image.height(), image.width(), CV_8UC4, const_cast<uchar *>(image.constBits()),
                       std::size_t(image.bytesPerLine()));
    cv::Mat bgr;
    cv::cvtColor(bgra, bgr, cv::COLOR_BGRA2BGR);
    const QRect crop = centreCrop(image.size(), inputSize, inputSize);
    const cv::Rect roi(crop.x(), crop.y(), crop.width(), crop.height());
    for (auto _ : state) {
        cv::Mat scaled;
        cv::resize(bgr(roi), scaled, cv::Size(int(inputSize), int(inputSize)), 0.0, 0.0,
                   cv::INTER_NEAREST);
        cv::Mat blob = cv::dnn::blobFromImage(scaled, 1.0 / 255.0, cv::Size(), cv::Scalar(), true,
                                              false, CV_32F);
        benchmark::DoNotOptimize(blob.data);
    }
    cv::setNumThreads(previousThreads);
}
BENCHMARK(BM_OpenCvBlobFromImage)->ArgName("threads")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
