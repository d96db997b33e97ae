// Data sets read as they are published: the same boxes in COCO and YOLO form
// give the same figures; class names are matched with case and spaces
// ignored; bad files are refused with the file, the line and the fault.
#include "evaluation/class_folders.h"
#include "evaluation/class_matching.h"
#include "evaluation/coco_annotations.h"
#include "evaluation/coco_results.h"
#include "evaluation/data_set.h"
#include "evaluation/detection_accuracy.h"
#include "evaluation/label_accuracy.h"
#include "evaluation/mask_projection.h"
#include "evaluation/yolo_folder.h"
#include "support/shared_data.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cstring>
#include <functional>

namespace {

void writePicture(const QString &path, int width, int height)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    ASSERT_TRUE(picture.save(path));
}

// Three pictures of 64 x 32, boxes on exact binary fractions so that both
// forms give the same numbers to the last bit.
const char *cocoAnnotations = R"({
 "images": [{"id": 2, "file_name": "b.png", "width": 64, "height": 32},
            {"id": 1, "file_name": "a.png", "width": 64, "height": 32},
            {"id": 3, "file_name": "c.png", "width": 64, "height": 32}],
 "categories": [{"id": 0, "name": "circle"}, {"id": 1, "name": "square"}],
 "annotations": [
  {"id": 1, "image_id": 1, "category_id": 0, "bbox": [8, 4, 16, 8]},
  {"id": 2, "image_id": 1, "category_id": 1, "bbox": [32, 16, 8, 8]},
  {"id": 3, "image_id": 2, "category_id": 1, "bbox": [0, 0, 32, 16]}]})";

const char *results = R"([
 {"image_id": 1, "category_id": 0, "bbox": [8, 4, 16, 6], "score": 0.9},
 {"image_id": 1, "category_id": 1, "bbox": [33, 16, 8, 8], "score": 0.8},
 {"image_id": 2, "category_id": 1, "bbox": [0, 0, 30, 16], "score": 0.5},
 {"image_id": 3, "category_id": 1, "bbox": [0, 0, 30, 16], "score": 0.5},
 {"image_id": 3, "category_id": 0, "bbox": [4, 4, 8, 8], "score": 0.7}])";

} // namespace

TEST(DataSetForms, CocoAndYoloGiveTheSameFigures)
{
    QTemporaryDir dir;
    for (const char *name : {"a", "b", "c"}) {
        writePicture(dir.filePath(QString("coco/%1.png").arg(name)), 64, 32);
        writePicture(dir.filePath(QString("yolo/images/%1.png").arg(name)), 64, 32);
    }
    writeTestFile(dir.filePath("coco/instances.json"), cocoAnnotations);
    writeTestFile(dir.filePath("results.json"), results);
    writeTestFile(dir.filePath("yolo/data.yaml"), "path: .\nval: images\nnames:\n  0: circle\n  1: square\n");
    writeTestFile(dir.filePath("yolo/labels/a.txt"), "0 0.25 0.25 0.25 0.25\n1 0.5625 0.625 0.125 0.25\n");
    writeTestFile(dir.filePath("yolo/labels/b.txt"), "\n1 0.25 0.25 0.5 0.5\n");

    const DetectionDataSet coco = readCocoAnnotations(dir.filePath("coco/instances.json"), dir.filePath("coco"));
    const DetectionDataSet yolo = readYoloFolder(dir.filePath("yolo"));
    ASSERT_EQ(coco.images.size(), 3u);
    ASSERT_EQ(yolo.images.size(), 3u);
    EXPECT_EQ(coco.images[0].path, dir.filePath("coco/a.png")); // ascending ids
    EXPECT_EQ(yolo.images[2].width, 64);
    ASSERT_EQ(yolo.objects.size(), coco.objects.size());

    const CocoResults fromCoco = readCocoResults(dir.filePath("results.json"), coco);
    const CocoResults fromYolo = readCocoResults(dir.filePath("results.json"), yolo);
    const DetectionAccuracy a = detectionAccuracy(coco.objects, fromCoco.detections, 3, {"circle", "square"}, 0.5);
    const DetectionAccuracy b = detectionAccuracy(yolo.objects, fromYolo.detections, 3, {"circle", "square"}, 0.5);
    EXPECT_EQ(a.coco, b.coco);
    EXPECT_GT(a.coco[0], 0.3);
    EXPECT_LT(a.coco[0], 0.9);
    EXPECT_EQ(a.confusion.counts, b.confusion.counts);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(a.classes[k].ap, b.classes[k].ap) << k;
        EXPECT_EQ(a.classes[k].instances, b.classes[k].instances) << k;
    }

    // Written back, the results read the same.
    writeTestFile(dir.filePath("again.json"), cocoResultsJson(fromCoco.detections, coco));
    const CocoResults again = readCocoResults(dir.filePath("again.json"), coco);
    ASSERT_EQ(again.detections.size(), fromCoco.detections.size());
    for (std::size_t i = 0; i < again.detections.size(); ++i) {
        EXPECT_EQ(again.detections[i].box.width, fromCoco.detections[i].box.width);
        EXPECT_EQ(again.detections[i].score, fromCoco.detections[i].score);
        EXPECT_EQ(again.detections[i].image, fromCoco.detections[i].image);
    }
}

TEST(DataSetForms, YoloNamesComeFromEachOfTheirPlaces)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath("list/data.yaml"), "names: ['traffic light', \"a, b\"]\nnc: 2\n");
    writeTestFile(dir.filePath("block/data.yaml"), "names:\n  - one\n  - two\n");
    writeTestFile(dir.filePath("text/classes.txt"), "one\n\ntwo\n");
    writeTestFile(dir.filePath("darknet/shapes.names"), "one\ntwo\n");
    EXPECT_EQ(readYoloClassNames(dir.filePath("list")), (std::vector<std::string>{"traffic light", "a, b"}));
    for (const char *folder : {"block", "text", "darknet"})
        EXPECT_EQ(readYoloClassNames(dir.filePath(folder)), (std::vector<std::string>{"one", "two"})) << folder;
}

TEST(ClassNames, MatchWithCaseAndSpacesIgnoredAndTheMapForTheRest)
{
    const std::vector<std::string> labels = {"person", "traffic light", "motorcycle", "kite"};
    const std::vector<std::string> classes = {"Person", "TrafficLight", "motorbike", "zebra", " traffic light "};
    const ClassMatching plain = matchClasses(classes, labels);
    EXPECT_EQ(plain.labelOfClass, (std::vector<int>{0, 1, -1, -1, -1})); // the second light finds it taken
    EXPECT_EQ(plain.classOfLabel, (std::vector<int>{0, 1, -1, -1}));
    EXPECT_EQ(plain.warning, "names that match nothing (case and spaces ignored; --class-map FILE pairs them): data "
                             "set classes \"motorbike\", \"zebra\", \" traffic light \" are not evaluated; the "
                             "detections of labels \"motorcycle\", \"kite\" are dropped.");

    QTemporaryDir dir;
    writeTestFile(dir.filePath("map.txt"), "# data set = description\nMotorbike = motorcycle\n\nzebra=KITE # why not\n");
    const ClassMatching mapped = matchClasses(classes, labels, readClassMap(dir.filePath("map.txt"), labels));
    EXPECT_EQ(mapped.labelOfClass, (std::vector<int>{0, 1, 2, 3, -1}));
    EXPECT_NE(mapped.warning.find("\" traffic light \""), std::string::npos);
    EXPECT_EQ(mapped.warning.find("dropped"), std::string::npos);

    EXPECT_TRUE(matchClasses({"a", "B "}, {"A", "b"}).warning.empty());
}

namespace {

struct BadFile
{
    const char *name;
    std::vector<std::pair<const char *, const char *>> files; // path in the folder, contents
    std::function<void(const QString &folder)> read;
    std::vector<const char *> expected; // parts of the message
};

void PrintTo(const BadFile &c, std::ostream *out)
{
    *out << c.name;
}

const char *twoImages = R"({"images": [{"id": 1, "file_name": "a.png"}, {"id": 2, "file_name": "b.png"}],
 "categories": [{"id": 1, "name": "x"}], "annotations": []})";

const std::vector<BadFile> &badFiles()
{
    static const std::vector<BadFile> cases = {
        {"label line of 4 numbers",
         {{"yolo/classes.txt", "a\nb\n"}, {"yolo/labels/p.txt", "0 0.5 0.5 0.1 0.1\n1 0.5 0.5 0.1\n"}},
         [](const QString &d) { readYoloFolder(d + "/yolo"); },
         {"labels/p.txt:2:", "4 numbers"}},
        {"class index out of range", {{"yolo/classes.txt", "a\nb\n"}, {"yolo/labels/p.txt", "2 0.5 0.5 0.1 0.1\n"}},
         [](const QString &d) { readYoloFolder(d + "/yolo"); },
         {"labels/p.txt:1:", "class 2 is out of range", "0 to 1"}},
        {"no number in a label line", {{"yolo/classes.txt", "a\n"}, {"yolo/labels/p.txt", "0 x 0.5 0.1 0.1\n"}},
         [](const QString &d) { readYoloFolder(d + "/yolo"); },
         {"labels/p.txt:1:", "\"x\" is not a number"}},
        {"YOLO folder without names", {{"yolo/labels/p.txt", ""}}, [](const QString &d) { readYoloFolder(d + "/yolo"); },
         {"no class names", "data.yaml"}},
        {"data.yaml without a list of names", {{"yolo/data.yaml", "names: {a: [1}\n"}},
         [](const QString &d) { readYoloFolder(d + "/yolo"); },
         {"data.yaml:"}},
        {"image missing on disk", {{"coco.json", twoImages}, {"a.png", ""}},
         [](const QString &d) { readCocoAnnotations(d + "/coco.json", d); },
         {"coco.json: image 1 (id 2): the picture", "b.png does not exist"}},
        {"annotation of an unknown image",
         {{"coco.json", R"({"images": [{"id": 1}], "categories": [{"id": 1, "name": "x"}],
            "annotations": [{"id": 9, "image_id": 4, "category_id": 1, "bbox": [0, 0, 1, 1]}]})"}},
         [](const QString &d) { readCocoAnnotations(d + "/coco.json"); },
         {"coco.json: annotation 0 (id 9): image_id 4 is not among the images"}},
        {"box of three numbers",
         {{"coco.json", R"({"images": [{"id": 1}], "categories": [{"id": 1, "name": "x"}],
            "annotations": [{"id": 9, "image_id": 1, "category_id": 1, "bbox": [0, 0, 1]}]})"}},
         [](const QString &d) { readCocoAnnotations(d + "/coco.json"); },
         {"annotation 0 (id 9) bbox is not a box"}},
        {"image listed twice", {{"coco.json", R"({"images": [{"id": 1}, {"id": 1}], "categories": []})"}},
         [](const QString &d) { readCocoAnnotations(d + "/coco.json"); },
         {"two images have the id 1"}},
        {"JSON syntax error", {{"coco.json", "{\"images\": [\n  {\"id\": 1},\n  {\"id\" 2}\n]}"}},
         [](const QString &d) { readCocoAnnotations(d + "/coco.json"); },
         {"coco.json: line 3:", "not valid JSON"}},
        {"results of an image the annotations lack",
         {{"coco.json", twoImages},
          {"results.json", "[{\"image_id\": 1, \"category_id\": 1, \"bbox\": [0, 0, 1, 1], \"score\": 0.5},\n"
                           " {\"image_id\": 7, \"category_id\": 1, \"bbox\": [0, 0, 1, 1], \"score\": 0.5}]"}},
         [](const QString &d) { readCocoResults(d + "/results.json", readCocoAnnotations(d + "/coco.json")); },
         {"results.json: image_id 7 of detection 1 is not among the images of", "coco.json"}},
        {"results without a score",
         {{"coco.json", twoImages}, {"results.json", "[\n{\"image_id\": 1, \"category_id\": 1, \"bbox\": [0, 0, 1, 1]}]"}},
         [](const QString &d) { readCocoResults(d + "/results.json", readCocoAnnotations(d + "/coco.json")); },
         {"results.json: line 2: detection 0 has no \"score\""}},
        {"results that are no list", {{"coco.json", twoImages}, {"results.json", "{\"annotations\": []}"}},
         [](const QString &d) { readCocoResults(d + "/results.json", readCocoAnnotations(d + "/coco.json")); },
         {"results.json", "not a list of detections"}},
        {"class map line without a pair", {{"map.txt", "a = x\nb x\n"}},
         [](const QString &d) { readClassMap(d + "/map.txt", {"x"}); },
         {"map.txt:2: expected \"data set name = label\""}},
        {"class map to a label the description lacks", {{"map.txt", "a = y\n"}},
         [](const QString &d) { readClassMap(d + "/map.txt", {"x"}); },
         {"map.txt:1: the description has no label \"y\""}},
        {"picture without its mask", {{"seg/masks/a.png", ""}},
         [](const QString &d) {
             writePicture(d + "/seg/images/a.png", 4, 4);
             writePicture(d + "/seg/images/b.png", 4, 4);
             readMaskFolder(d + "/seg");
         },
         {"images/b.png has no mask", "masks/b.png"}},
        {"mask of colours", {},
         [](const QString &d) {
             writePicture(d + "/mask.png", 4, 4);
             QSize size;
             readClassMask(d + "/mask.png", size);
         },
         {"mask.png holds colours"}},
        {"folder without class folders", {{"classes/readme.txt", "no pictures"}},
         [](const QString &d) { readClassFolders(d + "/classes"); },
         {"has no subfolders of pictures"}},
    };
    return cases;
}

class BadFiles : public testing::TestWithParam<BadFile>
{
};

} // namespace

TEST_P(BadFiles, AreRefusedNamingTheFileAndFault)
{
    QTemporaryDir dir;
    for (const auto &[path, contents] : GetParam().files)
        writeTestFile(dir.filePath(path), contents);
    // Every YOLO folder has one picture.
    writePicture(dir.filePath("yolo/images/p.png"), 8, 8);
    try {
        GetParam().read(dir.path());
        FAIL() << "no error";
    } catch (const std::runtime_error &error) {
        for (const char *part : GetParam().expected)
            EXPECT_NE(std::string(error.what()).find(part), std::string::npos) << error.what() << "\nlacks: " << part;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadFiles, testing::ValuesIn(badFiles()));

TEST(LabelFolders, ClassFoldersAndMasksAreRead)
{
    QTemporaryDir dir;
    writePicture(dir.filePath("classes/star/s1.png"), 4, 4);
    writePicture(dir.filePath("classes/circle/c2.png"), 4, 4);
    writePicture(dir.filePath("classes/circle/c10.png"), 4, 4);
    QDir().mkpath(dir.filePath("classes/empty"));
    const ClassificationDataSet classes = readClassFolders(dir.filePath("classes"));
    ASSERT_EQ(classes.classes.size(), 2u);
    EXPECT_EQ(classes.classes[0].name, "circle");
    ASSERT_EQ(classes.pictures.size(), 3u);
    EXPECT_TRUE(classes.pictures[0].path.endsWith("c2.png")); // natural order
    EXPECT_EQ(classes.pictures[2].classIndex, 1u);

    QImage mask(3, 2, QImage::Format_Grayscale8);
    const uchar values[2][3] = {{0, 1, 2}, {255, 4, 0}};
    for (int y = 0; y < 2; ++y)
        std::memcpy(mask.scanLine(y), values[y], 3);
    QDir().mkpath(dir.filePath("seg/masks"));
    ASSERT_TRUE(mask.save(dir.filePath("seg/masks/a.png")));
    writePicture(dir.filePath("seg/images/a.jpg"), 3, 2);
    const SegmentationDataSet masks = readMaskFolder(dir.filePath("seg"));
    ASSERT_EQ(masks.pictures.size(), 1u);
    QSize size;
    EXPECT_EQ(readClassMask(masks.pictures[0].mask, size), (std::vector<std::uint8_t>{0, 1, 2, 255, 4, 0}));
    EXPECT_EQ(size, QSize(3, 2));
}

TEST(LabelAccuracy, ClassifierTopOneTopFiveAndConfusion)
{
    ClassificationTally tally({"a", "b", "c", "d", "e", "f"});
    tally.add(0, {0, 1, 2, 3, 4, 5}); // right
    tally.add(0, {1, 0, 2, 3, 4, 5}); // second
    tally.add(1, {0, 2, 3, 4, 5, 1}); // sixth: outside the five
    tally.add(2, {2});
    const ClassificationAccuracy a = tally.accuracy();
    EXPECT_EQ(a.pictures, 4u);
    EXPECT_DOUBLE_EQ(a.top1, 0.5);
    EXPECT_DOUBLE_EQ(a.top5, 0.75);
    EXPECT_DOUBLE_EQ(a.classes[0].top1, 0.5);
    EXPECT_DOUBLE_EQ(a.classes[0].top5, 1.0);
    EXPECT_DOUBLE_EQ(a.classes[1].top5, 0.0);
    EXPECT_EQ(a.classes[3].top1, -1.0); // no pictures
    EXPECT_EQ(a.confusion.at(0, 1), 1u);
    EXPECT_EQ(a.confusion.at(1, 0), 1u);
    EXPECT_EQ(a.confusion.at(2, 2), 1u);
}

TEST(LabelAccuracy, SegmentationIouMeanAndPixelAccuracy)
{
    SegmentationTally tally({"background", "circle", "square"});
    // mask      0 0 1 1 2 255
    // network   0 1 1 1 0 2
    tally.add({0, 0, 1, 1, 2, 255}, {0, 1, 1, 1, 0, 2});
    const SegmentationAccuracy a = tally.accuracy();
    EXPECT_DOUBLE_EQ(a.classes[0].iou, 1.0 / 3.0); // 1 right, 1 missed, 1 claimed
    EXPECT_DOUBLE_EQ(a.classes[1].iou, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(a.classes[2].iou, 0.0);
    EXPECT_EQ(a.classes[1].pixels, 2u);
    EXPECT_DOUBLE_EQ(a.meanIou, 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(a.pixelAccuracy, 3.0 / 5.0); // the 255 pixel left out
}

// Every example's validation set reads as its format says and names the
// example's own labels, so that an evaluation of it runs on a fresh checkout.
TEST(BundledValidationSets, ReadAndMatchTheExamplesLabels)
{
    const QString examples = QString::fromStdString(sourceDir()) + "/examples/";
    const std::vector<std::string> labels = {"circle", "square", "triangle", "star"};
    const auto names = [](const std::vector<DataSetClass> &classes) {
        std::vector<std::string> list;
        for (const DataSetClass &c : classes)
            list.push_back(c.name);
        return list;
    };
    const DetectionDataSet coco = readCocoAnnotations(examples + "yolo3/validation/instances.json",
                                                      examples + "yolo3/validation/images");
    // Each told apart by what the path holds.
    const struct
    {
        const char *path;
        DataSetKind kind;
    } kinds[] = {{"yolo5/validation", DataSetKind::Yolo},
                 {"classifier/validation", DataSetKind::ClassFolders},
                 {"unet/validation", DataSetKind::Masks}};
    for (const auto &k : kinds)
        EXPECT_EQ(openDataSet(examples + k.path).kind, k.kind) << k.path;
    EXPECT_EQ(openDataSet(examples + "yolo3/validation/instances.json").boxes.objects.size(),
              coco.objects.size());
    EXPECT_EQ(coco.images.size(), 20u);
    EXPECT_GE(coco.objects.size(), 40u);
    EXPECT_TRUE(matchClasses(names(coco.classes), labels).warning.empty());
    for (const char *folder : {"yolo2", "yolo3-darknet", "yolo5"}) {
        const DetectionDataSet yolo = readYoloFolder(examples + folder + "/validation");
        EXPECT_EQ(yolo.images.size(), 20u) << folder;
        EXPECT_GE(yolo.objects.size(), 40u) << folder;
        EXPECT_EQ(names(yolo.classes), labels) << folder;
    }
    const ClassificationDataSet classes = readClassFolders(examples + "classifier/validation");
    EXPECT_EQ(classes.pictures.size(), 24u);
    EXPECT_TRUE(matchClasses(names(classes.classes), labels).warning.empty());
    const SegmentationDataSet masks = readMaskFolder(examples + "unet/validation");
    EXPECT_EQ(masks.pictures.size(), 16u);
    QSize size;
    for (std::uint8_t value : readClassMask(masks.pictures[0].mask, size))
        EXPECT_LE(value, 4);
}

TEST(LabelAccuracy, ClassGridsComeToThePicturesPixels)
{
    // A 2 x 2 grid over a 4 x 4 input; the picture 8 x 4 centre-cropped to
    // its middle 4 x 4 (columns 2 to 5): the sides were never seen.
    const std::vector<std::uint8_t> grid = {1, 2, 3, 4};
    const std::vector<std::uint8_t> cropped =
        classesAtPictureSize(grid, 2, 2, PictureGeometry(QRect(2, 0, 4, 4), QSize(4, 4)), QSize(8, 4));
    EXPECT_EQ(cropped, (std::vector<std::uint8_t>{0, 0, 1, 1, 2, 2, 0, 0, 0, 0, 1, 1, 2, 2, 0, 0,
                                                  0, 0, 3, 3, 4, 4, 0, 0, 0, 0, 3, 3, 4, 4, 0, 0}));
    // Letterboxed into rows 1 and 2 of the input: the picture's rows take
    // the grid rows under them.
    const std::vector<std::uint8_t> boxed =
        classesAtPictureSize(grid, 2, 2, PictureGeometry(QRect(0, 0, 8, 4), QSize(4, 4), QRect(0, 1, 4, 2)),
                             QSize(8, 4));
    EXPECT_EQ(boxed, (std::vector<std::uint8_t>{1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2,
                                                3, 3, 3, 3, 4, 4, 4, 4, 3, 3, 3, 3, 4, 4, 4, 4}));
}

TEST(DataSetForms, PolygonLabelsAndLooseCocoFieldsAreRead)
{
    QTemporaryDir dir;
    // A polygon line is taken by its bounding box; blank lines are skipped.
    writePicture(dir.filePath("yolo/images/p.png"), 100, 50);
    writeTestFile(dir.filePath("yolo/classes.txt"), "a\nb\n");
    writeTestFile(dir.filePath("yolo/labels/p.txt"), "1 0.1 0.2 0.5 0.2 0.3 0.8\n\n0 0.5 0.5 0.2 0.4\n");
    const DetectionDataSet yolo = readYoloFolder(dir.filePath("yolo"));
    ASSERT_EQ(yolo.objects.size(), 2u);
    EXPECT_EQ(yolo.objects[0].category, 1u);
    EXPECT_NEAR(yolo.objects[0].box.x, 10.0, 1e-9);
    EXPECT_NEAR(yolo.objects[0].box.y, 10.0, 1e-9);
    EXPECT_NEAR(yolo.objects[0].box.width, 40.0, 1e-9);
    EXPECT_NEAR(yolo.objects[0].box.height, 30.0, 1e-9);
    EXPECT_NEAR(yolo.objects[1].area, 20.0 * 20.0, 1e-9);

    // Crowd flags as booleans, sizes as decimals, no "area": width x height.
    writeTestFile(dir.filePath("coco.json"), R"({"images": [{"id": 5, "width": 640.0, "height": 480}],
     "categories": [{"id": 2, "name": "b"}, {"id": 1, "name": "a"}],
     "annotations": [{"image_id": 5, "category_id": 2, "bbox": [1, 2, 3, 4], "iscrowd": true},
                     {"image_id": 5, "category_id": 1, "bbox": [1, 2, 3, 4], "area": 7.5}]})");
    const DetectionDataSet coco = readCocoAnnotations(dir.filePath("coco.json"));
    EXPECT_EQ(coco.images[0].width, 640);
    ASSERT_EQ(coco.classes.size(), 2u);
    EXPECT_EQ(coco.classes[0].name, "a"); // ascending ids
    ASSERT_EQ(coco.objects.size(), 2u);
    EXPECT_TRUE(coco.objects[0].crowd);
    EXPECT_EQ(coco.objects[0].category, 1u);
    EXPECT_EQ(coco.objects[0].area, 12.0);
    EXPECT_FALSE(coco.objects[1].crowd);
    EXPECT_EQ(coco.objects[1].area, 7.5);
}
