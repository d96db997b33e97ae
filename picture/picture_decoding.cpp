#include "picture/picture_decoding.h"

#include "files/regular_file.h"

#include <QImageReader>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

QString megapixels(double pixels)
{
    // "400", "120", "0.0768": whole above a hundred, else three digits.
    const double value = pixels / 1e6;
    return value >= 100.0 ? QString::number(value, 'f', 0) : QString::number(value, 'g', 3);
}

QtMessageHandler earlierHandler = nullptr;

// Qt's PNG reader passes libpng's warnings on as plain warnings, outside its
// logging category.
void dropDecoderWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("libpng warning:")))
        return;
    if (earlierHandler)
        earlierHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

std::string oversizeProblem(const QSize &size, std::uint64_t pixelLimit)
{
    const std::uint64_t pixels = std::uint64_t(std::max(size.width(), 0)) * std::uint64_t(std::max(size.height(), 0));
    if (pixels <= pixelLimit)
        return std::string();
    return QStringLiteral("%1 x %2 pixels (%3 megapixels), more than the limit of %4 megapixels")
        .arg(size.width())
        .arg(size.height())
        .arg(megapixels(double(pixels)), megapixels(double(pixelLimit)))
        .toStdString();
}

QImage decodePicture(const QString &path, std::uint64_t pixelLimit, QString *readerError)
{
    checkRegularFile(path, "picture file");
    QImageReader reader(path);
    // The header alone: no pixel is decoded yet.
    const std::string problem = oversizeProblem(reader.size(), pixelLimit);
    if (!problem.empty())
        throw std::runtime_error(path.toStdString() + " is " + problem);
    const QImage image = reader.read();
    if (image.isNull() && readerError)
        *readerError = reader.errorString();
    // Formats that tell no size before decoding are held to the limit after.
    const std::string decodedProblem = oversizeProblem(image.size(), pixelLimit);
    if (!decodedProblem.empty())
        throw std::runtime_error(path.toStdString() + " is " + decodedProblem);
    return image;
}

void quietDecoderWarnings()
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.warning=false\n"
                                                    "qt.gui.imageio.*.warning=false"));
    earlierHandler = qInstallMessageHandler(dropDecoderWarnings);
}
