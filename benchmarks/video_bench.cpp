// Run Auto's engine (FramePipeline on the simulator) over a 640 x 480 video
// against the same frames as pre-decoded pictures, side by side in one run;
// the cost of recording; resident memory over a long video. The detector is
// the shapes example; board_ms, when nonzero, makes each of the four units a
// board of that many milliseconds a frame that works beside the host (the
// simulator answers a frame it has seen from memory after that time, so the
// host's cores do only the application's work).
#include "accel/board_session.h"
#include "app/recording_content.h"
#include "bench_clocks.h"
#include "description/description_reader.h"
#include "picture/input_depth.h"
#include "picture/picture_preparation.h"
#include "engine/frame_pipeline.h"
#include "outputs/frame_recorder.h"
#include "sources/video_source.h"

#include <benchmark/benchmark.h>
#include <vrax_sim.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>

namespace {

constexpr int videoFrames = 300;
constexpr int distinctPictures = 30;

// The detector example on one simulator board with four units.
struct Detector
{
    NnDescription description;
    std::vector<RuntimeHandle> sessions;
    ModelInfo modelInfo{};
    ModelDims modelDims;
    PictureRequest request;

    Detector()
    {
        readDescription(description, VRAX_SOURCE_DIR "/examples/yolo3/shapes_yolo3.xml");
        openBoardSession(BoardChoice{BoardType::Simulator, 0, 1}, description.model, sessions, modelInfo);
        modelDims = modelDimsOf(modelInfo);
        const TensorDims &input = modelDims.inputs.front();
        request.width = input.width;
        request.height = input.height;
        request.format = description.format;
        request.divider = description.divider;
        request.adder = description.adder;
        request.depth = roundedInputDepth(false, input.depth);
        modelDims.inputs.front().depth = request.depth;
    }
    ~Detector() { destroySessions(sessions); }

    FramePipeline::Boards boards() const { return {sessions, modelInfo.single_slot != 0 ? 1u : 4u}; }
};

// The example pictures drifting across a 640 x 480 frame, as in a video.
cv::Mat videoFrame(const std::vector<cv::Mat> &pictures, int index)
{
    const cv::Mat &picture = pictures[std::size_t(index / 10) % pictures.size()];
    const double angle = 2.0 * M_PI * index / 30.0;
    const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, 12.0 * std::sin(angle), 0, 1, 8.0 * std::cos(angle));
    cv::Mat frame;
    cv::warpAffine(picture, frame, shift, cv::Size(640, 480));
    return frame;
}

std::vector<cv::Mat> examplePictures()
{
    std::vector<cv::Mat> pictures;
    for (const char *name : {"plain_three_shapes.png", "stripes_two_shapes.png", "blotches_four_shapes.png"}) {
        QImage picture = QImage(QStringLiteral(VRAX_SOURCE_DIR "/examples/yolo3/pictures/") + name)
                             .scaled(640, 480)
                             .convertToFormat(QImage::Format_RGB888)
                             .rgbSwapped();
        pictures.push_back(cv::Mat(480, 640, CV_8UC3, picture.bits(), std::size_t(picture.bytesPerLine())).clone());
    }
    return pictures;
}

QString writeVideo(const QTemporaryDir &dir, const char *fourcc, const char *suffix, int frames, double fps)
{
    const QString path = dir.filePath(QStringLiteral("bench") + suffix);
    cv::VideoWriter writer(path.toStdString(), cv::CAP_FFMPEG,
                           cv::VideoWriter::fourcc(fourcc[0], fourcc[1], fourcc[2], fourcc[3]), fps,
                           cv::Size(640, 480));
    if (!writer.isOpened())
        return QString();
    const std::vector<cv::Mat> pictures = examplePictures();
    for (int i = 0; i < frames; ++i)
        writer.write(videoFrame(pictures, i));
    return path;
}

// The video's first frames, decoded beforehand: what the picture list gives
// once its pictures are cached.
class DecodedFrames : public FrameSource
{
public:
    DecodedFrames(const QString &video, const PictureRequest &request) : request(request)
    {
        VideoSource source(video, request, false);
        Frame frame;
        cv::VideoCapture capture(video.toStdString(), cv::CAP_FFMPEG);
        cv::Mat decoded;
        while (pictures.size() < distinctPictures && capture.read(decoded)) {
            QImage picture(decoded.cols, decoded.rows, QImage::Format_RGB32);
            cv::Mat pixels(decoded.rows, decoded.cols, CV_8UC4, picture.bits(), std::size_t(picture.bytesPerLine()));
            cv::cvtColor(decoded, pixels, cv::COLOR_BGR2BGRA);
            pictures.push_back(picture);
        }
    }
    bool next(Frame &frame) override
    {
        frame.times.readStart = steadyNanoseconds();
        const QImage &picture = pictures[number % pictures.size()];
        frame.times.read = steadyNanoseconds();
        frame.origin.number = number++;
        frame.picture = prepareDecodedPicture(picture, request, false);
        frame.times.prepared = steadyNanoseconds();
        return true;
    }

private:
    PictureRequest request;
    std::vector<QImage> pictures;
    std::size_t number = 0;
};

// Each frame's outputs are interpreted, as Run Auto does.
double runPipeline(Detector &detector, FrameSource &source, std::uint64_t frames,
                   const FramePipeline::Deliver &deliver = [](FramePtr) {})
{
    auto interpret = [&detector](Frame &frame) {
        frame.result = decodeFrameResult(frame.outputs, detector.modelDims, detector.description);
    };
    FramePipeline pipeline(detector.boards(), source, detector.modelDims, interpret, deliver);
    const double start = wallSeconds();
    pipeline.start(frames);
    pipeline.wait();
    return double(pipeline.framesDelivered()) / (wallSeconds() - start);
}

const char *const codecs[][2] = {{"MJPG", ".avi"}, {"avc1", ".mp4"}};

// Pictures and video alternate within one run, three rounds each, so that
// the machine's load falls on both alike.
void BM_VideoAgainstPictures(benchmark::State &state)
{
    const auto &codec = codecs[state.range(0)];
    QTemporaryDir dir;
    const QString video = writeVideo(dir, codec[0], codec[1], videoFrames, 30.0);
    if (video.isEmpty()) {
        state.SkipWithError("this system cannot write the codec");
        return;
    }
    Detector detector;
    VRAX_SIM_SetBoardTime(0, std::uint32_t(state.range(1) * 1000));
    for (auto _ : state) {
        double pictures = 0;
        double videos = 0;
        for (int round = 0; round < 3; ++round) {
            DecodedFrames decoded(video, detector.request);
            pictures += runPipeline(detector, decoded, videoFrames);
            VideoSource source(video, detector.request, false);
            videos += runPipeline(detector, source, videoFrames);
        }
        state.counters["pictures_fps"] = pictures / 3;
        state.counters["video_fps"] = videos / 3;
        state.counters["ratio"] = videos / pictures;
    }
    VRAX_SIM_ClearInjections();
}

// As the window records a 640 x 480 video (its queue holds about 100 frames).
FrameRecorder::Settings recordingSettings(const QTemporaryDir &dir, std::size_t queueCapacity)
{
    FrameRecorder::Settings settings;
    settings.videoPath = dir.filePath(QStringLiteral("record.avi"));
    settings.recordsPath = FrameRecorder::recordsPathFor(settings.videoPath);
    settings.framesPerSecond = 30.0;
    settings.frameSize = QSize(640, 480);
    settings.queueCapacity = queueCapacity;
    return settings;
}

// Recording (MJPG and JSON Lines, as File > Record writes them) beside Run Auto.
void BM_RecordingCost(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString video = writeVideo(dir, "MJPG", ".avi", videoFrames, 30.0);
    Detector detector;
    VRAX_SIM_SetBoardTime(0, std::uint32_t(state.range(0) * 1000));
    for (auto _ : state) {
        double plain = 0;
        double recorded = 0;
        std::uint64_t written = 0;
        for (int round = 0; round < 3; ++round) {
            VideoSource source(video, detector.request, false);
            plain += runPipeline(detector, source, videoFrames);

            VideoSource again(video, detector.request, false);
            FrameRecorder recorder(recordingSettings(dir, 100), recordingAnnotation(detector.description),
                                   recordingDescription(detector.description));
            recorded += runPipeline(detector, again, videoFrames, [&recorder](FramePtr frame) { recorder.add(frame); });
            recorder.finish();
            written += recorder.framesWritten();
        }
        state.counters["plain_fps"] = plain / 3;
        state.counters["recording_fps"] = recorded / 3;
        state.counters["ratio"] = recorded / plain;
        state.counters["frames_written_of_900"] = double(written);

        // The writer alone: 100 finished frames handed over at once.
        std::vector<FramePtr> finished;
        VideoSource source(video, detector.request, false);
        runPipeline(detector, source, 100, [&finished](FramePtr frame) { finished.push_back(frame); });
        FrameRecorder recorder(recordingSettings(dir, finished.size()), recordingAnnotation(detector.description),
                               recordingDescription(detector.description));
        const double start = wallSeconds();
        for (const FramePtr &frame : finished)
            recorder.add(frame);
        recorder.finish();
        state.counters["writer_alone_fps"] = double(recorder.framesWritten()) / (wallSeconds() - start);
    }
    VRAX_SIM_ClearInjections();
}

// A ten-minute video (10 frames per second, H.264) through the pipeline:
// resident memory after a warm-up and its growth to the end.
void BM_LongVideoResidentMemory(benchmark::State &state)
{
    QTemporaryDir dir;
    const int frames = 10 * 60 * 10;
    const QString video = writeVideo(dir, "avc1", ".mp4", frames, 10.0);
    if (video.isEmpty()) {
        state.SkipWithError("this system cannot write H.264");
        return;
    }
    Detector detector;
    for (auto _ : state) {
        VideoSource source(video, detector.request, false);
        source.setLooping(false);
        double warm = 0;
        double peak = 0;
        std::uint64_t delivered = 0;
        runPipeline(detector, source, 0, [&](FramePtr) {
            ++delivered;
            if (delivered % 100 != 0)
                return;
            const double now = residentMegabytes();
            if (delivered == 500)
                warm = now;
            if (delivered > 500 && now > peak)
                peak = now;
        });
        state.counters["frames"] = double(delivered);
        state.counters["rss_after_warmup_mb"] = warm;
        state.counters["rss_growth_mb"] = peak - warm;
    }
}

} // namespace

BENCHMARK(BM_VideoAgainstPictures)
    ->ArgNames({"codec", "board_ms"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 20})
    ->Args({1, 20})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK(BM_RecordingCost)->ArgName("board_ms")->Arg(0)->Arg(40)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_LongVideoResidentMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
