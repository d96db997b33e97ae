// vrax-eval on a COCO-val-sized input: 5000 pictures with 7 objects and 100
// detections each, 80 categories; the whole command (reading both files,
// the evaluation, no table) and its parts.
#include "evaluation/coco_annotations.h"
#include "evaluation/coco_results.h"
#include "evaluation/detection_accuracy.h"
#include "evaluation/eval_command.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

namespace {

constexpr int pictures = 5000;
constexpr int objectsPerPicture = 7;
constexpr int detectionsPerPicture = 100;
constexpr int categories = 80;

struct BenchFiles
{
    QTemporaryDir dir;
    QString annotations = dir.filePath("instances.json");
    QString results = dir.filePath("results.json");

    BenchFiles()
    {
        std::mt19937 random(1);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        DetectionDataSet data;
        QByteArray gt = "{\"images\": [";
        for (int i = 0; i < pictures; ++i) {
            gt += QByteArray(i ? ",\n" : "\n") + "{\"id\": " + QByteArray::number(i + 1)
                  + ", \"file_name\": \"" + QByteArray::number(i + 1) + ".jpg\", \"width\": 640, \"height\": 480}";
            data.images.push_back({i + 1, {}, 640, 480});
        }
        gt += "],\n\"categories\": [";
        for (int k = 0; k < categories; ++k) {
            gt += QByteArray(k ? ",\n" : "\n") + "{\"id\": " + QByteArray::number(k + 1) + ", \"name\": \"class "
                  + QByteArray::number(k) + "\"}";
            data.classes.push_back({k + 1, "class " + std::to_string(k)});
        }
        gt += "],\n\"annotations\": [";
        std::vector<DetectedBox> detections;
        int id = 0;
        for (int i = 0; i < pictures; ++i) {
            std::vector<GroundTruthBox> objects;
            for (int j = 0; j < objectsPerPicture; ++j) {
                const Box box{unit(random) * 340, unit(random) * 180, 5 + unit(random) * 295, 5 + unit(random) * 295};
                const std::size_t k = std::size_t(random() % categories);
                const bool crowd = unit(random) < 0.01;
                gt += QByteArray(id ? ",\n" : "\n");
                gt += "{\"id\": " + QByteArray::number(++id) + ", \"image_id\": "
                      + QByteArray::number(i + 1) + ", \"category_id\": " + QByteArray::number(int(k) + 1)
                      + ", \"bbox\": [" + QByteArray::number(box.x) + ", " + QByteArray::number(box.y) + ", "
                      + QByteArray::number(box.width) + ", " + QByteArray::number(box.height) + "], \"area\": "
                      + QByteArray::number(box.width * box.height * 0.8) + ", \"iscrowd\": " + (crowd ? "1" : "0")
                      + "}";
                objects.push_back({std::size_t(i), k, box, 0.0, crowd});
            }
            for (int j = 0; j < detectionsPerPicture; ++j) {
                DetectedBox d{std::size_t(i), std::size_t(random() % categories),
                              {unit(random) * 500, unit(random) * 400, 5 + unit(random) * 195, 5 + unit(random) * 195},
                              std::round(unit(random) * 1e5) / 1e5};
                if (j < 2 * objectsPerPicture) { // near an object, of its class
                    const GroundTruthBox &o = objects[std::size_t(j % objectsPerPicture)];
                    d.category = o.category;
                    d.box = {o.box.x + unit(random) * 10 - 5, o.box.y + unit(random) * 10 - 5,
                             o.box.width * (0.9 + 0.2 * unit(random)), o.box.height * (0.9 + 0.2 * unit(random))};
                }
                detections.push_back(d);
            }
        }
        gt += "]}\n";
        write(annotations, gt);
        write(results, cocoResultsJson(detections, data));
    }

    static void write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            std::abort();
    }
};

BenchFiles &files()
{
    static BenchFiles instance;
    return instance;
}

void vraxEvalCommand(benchmark::State &state)
{
    BenchFiles &f = files();
    for (auto _ : state) {
        if (runEvalCommand({"-q", f.annotations, f.results}, stdout, stderr) != 0)
            state.SkipWithError("vrax-eval failed");
    }
}
BENCHMARK(vraxEvalCommand)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void readBothFiles(benchmark::State &state)
{
    BenchFiles &f = files();
    for (auto _ : state) {
        const DetectionDataSet data = readCocoAnnotations(f.annotations);
        benchmark::DoNotOptimize(readCocoResults(f.results, data).detections.size());
    }
}
BENCHMARK(readBothFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void evaluateOnly(benchmark::State &state)
{
    BenchFiles &f = files();
    const DetectionDataSet data = readCocoAnnotations(f.annotations);
    const CocoResults results = readCocoResults(f.results, data);
    std::vector<std::string> labels;
    for (const DataSetClass &c : data.classes)
        labels.push_back(c.name);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            detectionAccuracy(data.objects, results.detections, data.images.size(), labels, 0.5).coco[0]);
}
BENCHMARK(evaluateOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

BENCHMARK_MAIN();
