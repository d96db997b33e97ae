// Detection labels: their usual place above the box, inside the visible
// picture at its edges, and clear of earlier labels.
#include "results/label_placement.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const QRect visible(0, 0, 100, 80);
const QSize label(30, 10);

struct PlacementCase
{
    const char *name;
    std::vector<QRect> boxes;
    std::vector<QRect> expected;
    QSize size = label;
};

class LabelPlacementTest : public testing::TestWithParam<PlacementCase>
{
};

} // namespace

TEST_P(LabelPlacementTest, PlacesEveryLabelInsideTheVisiblePicture)
{
    const PlacementCase &c = GetParam();
    const std::vector<QRect> places = placeLabels(c.boxes, std::vector<QSize>(c.boxes.size(), c.size), visible);
    EXPECT_EQ(places, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LabelPlacementTest,
    testing::Values(
        // The frame's bottom row lies on the box's top edge, as it always has.
        PlacementCase{"above", {QRect(20, 30, 40, 20)}, {QRect(20, 21, 30, 10)}},
        // Below rather than inside: the label hides nothing of the object.
        PlacementCase{"no room above", {QRect(20, 5, 40, 20)}, {QRect(20, 25, 30, 10)}},
        PlacementCase{"at the right edge", {QRect(85, 30, 14, 20)}, {QRect(70, 21, 30, 10)}},
        PlacementCase{"at the top right corner", {QRect(85, 0, 14, 20)}, {QRect(70, 20, 30, 10)}},
        PlacementCase{"left of the picture", {QRect(-10, 30, 40, 20)}, {QRect(0, 21, 30, 10)}},
        PlacementCase{"below the picture", {QRect(20, 95, 40, 20)}, {QRect(20, 70, 30, 10)}},
        PlacementCase{"wider than the picture", {QRect(10, 30, 40, 20)}, {QRect(0, 21, 150, 10)}, QSize(150, 10)},
        PlacementCase{"same box twice", {QRect(20, 30, 40, 20), QRect(20, 30, 40, 20)},
                      {QRect(20, 21, 30, 10), QRect(20, 50, 30, 10)}},
        PlacementCase{"second box just below the first",
                      {QRect(20, 30, 40, 20), QRect(25, 35, 40, 20)},
                      {QRect(20, 21, 30, 10), QRect(25, 55, 30, 10)}},
        // Above the large box its label would hide a small object there.
        PlacementCase{"small object above a large one",
                      {QRect(10, 30, 80, 30), QRect(15, 22, 8, 8)},
                      {QRect(10, 60, 30, 10), QRect(15, 13, 30, 10)}},
        // The whole picture is one object: inside at its top.
        PlacementCase{"object filling the picture", {QRect(0, 0, 100, 80)}, {QRect(0, 0, 30, 10)}},
        PlacementCase{"crowded labels stack", {QRect(0, 0, 100, 80), QRect(0, 0, 100, 80),
                                                           QRect(0, 0, 100, 80), QRect(0, 0, 100, 80),
                                                           QRect(0, 0, 100, 80)},
                      {QRect(0, 0, 30, 10), QRect(0, 70, 30, 10), QRect(0, 10, 30, 10), QRect(0, 20, 30, 10),
                       QRect(0, 30, 30, 10)}}),
    [](const testing::TestParamInfo<PlacementCase> &info) {
        std::string name = info.param.name;
        for (char &c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// Wherever the boxes are, every label lies whole inside the visible picture.
TEST(LabelPlacementTest, LabelsNeverLeaveTheVisiblePicture)
{
    std::mt19937 random(17);
    std::uniform_int_distribution<int> coordinate(-50, 150);
    std::uniform_int_distribution<int> extent(0, 60);
    std::vector<QRect> boxes;
    for (int i = 0; i < 200; ++i)
        boxes.emplace_back(coordinate(random), coordinate(random), extent(random), extent(random));
    for (const QRect &place : placeLabels(boxes, std::vector<QSize>(boxes.size(), label), visible))
        EXPECT_TRUE(visible.contains(place)) << place.x() << "," << place.y();
}
