// Makes shapes.avi, the example video: the detector example's pictures, each
// fitted into 320 x 240 and drifting gently for two seconds, at 10 frames per
// second in MJPG. Built and run by make_video.sh.
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::cerr << "usage: make_video OUTPUT.avi PICTURE...\n";
        return 2;
    }
    const cv::Size size(320, 240);
    const double fps = 10.0;
    const int framesPerPicture = 20;
    cv::VideoWriter writer(argv[1], cv::CAP_FFMPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps, size);
    if (!writer.isOpened()) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    for (int p = 2; p < argc; ++p) {
        const cv::Mat picture = cv::imread(argv[p], cv::IMREAD_COLOR);
        if (picture.empty()) {
            std::cerr << "cannot read " << argv[p] << "\n";
            return 1;
        }
        // Fitted without distortion, centred on black.
        const double scale = std::min(double(size.width) / picture.cols, double(size.height) / picture.rows);
        cv::Mat fitted;
        cv::resize(picture, fitted, cv::Size(), scale, scale, cv::INTER_AREA);
        for (int i = 0; i < framesPerPicture; ++i) {
            // A slow circle of a few pixels, so that the boxes follow the shapes.
            const double angle = 2.0 * M_PI * i / framesPerPicture;
            const double dx = (size.width - fitted.cols) / 2.0 + 6.0 * std::sin(angle);
            const double dy = (size.height - fitted.rows) / 2.0 + 4.0 * std::cos(angle);
            const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, dx, 0, 1, dy);
            cv::Mat frame;
            cv::warpAffine(fitted, frame, shift, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar());
            writer.write(frame);
        }
    }
    return 0;
}
