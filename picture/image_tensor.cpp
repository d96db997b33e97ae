#include "picture/image_tensor.h"

#include "picture/input_depth.h"

#include <QVector>

#include <array>
#include <cstdint>
#include <limits>

namespace {

bool isColourFormat(InputFormat format)
{
    switch (format) {
    case InputFormat::Rgb:
    case InputFormat::Rbg:
    case InputFormat::Grb:
    case InputFormat::Gbr:
    case InputFormat::Brg:
    case InputFormat::Bgr:
        return true;
    case InputFormat::Intensity:
        break;
    }
    return false;
}

// Channels (0 red, 1 green, 2 blue) in the order the format lists them.
std::array<int, 3> channelOrder(InputFormat format)
{
    switch (format) {
    case InputFormat::Rbg:
        return {0, 2, 1};
    case InputFormat::Grb:
        return {1, 0, 2};
    case InputFormat::Gbr:
        return {1, 2, 0};
    case InputFormat::Brg:
        return {2, 0, 1};
    case InputFormat::Bgr:
        return {2, 1, 0};
    case InputFormat::Rgb:
    case InputFormat::Intensity:
        break;
    }
    return {0, 1, 2};
}

double normalised(const PictureRequest &request, int channel, int value)
{
    return value / request.divider[channel] + request.adder[channel];
}

double intensity(double red, double green, double blue)
{
    return (0.587 * green + 0.299 * red) + 0.114 * blue;
}

// Where a channel sits in a QRgb.
constexpr std::array<int, 3> channelShift = {16, 8, 0};

// Every value the tensor can hold depends on one channel value only (or, for
// "intensity", on three terms that each depend on one), so 256-entry tables
// give the exact results of the per-pixel rule.
struct ColourTables
{
    std::array<std::array<float, 256>, 3> value; // per tensor position
    std::array<int, 3> shift;                    // per tensor position
};

ColourTables colourTables(const PictureRequest &request)
{
    ColourTables tables;
    const std::array<int, 3> order = channelOrder(request.format);
    for (int position = 0; position < 3; ++position) {
        const int channel = order[position];
        tables.shift[position] = channelShift[channel];
        for (int v = 0; v < 256; ++v)
            tables.value[position][v] = float(normalised(request, channel, v));
    }
    return tables;
}

struct IntensityTables
{
    std::array<double, 256> red;   // 0.299 R
    std::array<double, 256> green; // 0.587 G
    std::array<double, 256> blue;  // 0.114 B
};

IntensityTables intensityTables(const PictureRequest &request)
{
    IntensityTables tables;
    for (int v = 0; v < 256; ++v) {
        tables.red[v] = 0.299 * normalised(request, 0, v);
        tables.green[v] = 0.587 * normalised(request, 1, v);
        tables.blue[v] = 0.114 * normalised(request, 2, v);
    }
    return tables;
}

template <bool padded>
float *writeColourRow(const QRgb *pixels, int width, const ColourTables &t, float *out)
{
    for (int x = 0; x < width; ++x) {
        const QRgb p = pixels[x];
        out[0] = t.value[0][(p >> t.shift[0]) & 0xff];
        out[1] = t.value[1][(p >> t.shift[1]) & 0xff];
        out[2] = t.value[2][(p >> t.shift[2]) & 0xff];
        if (padded) {
            out[3] = 0.0f;
            out += 4;
        } else {
            out += 3;
        }
    }
    return out;
}

template <bool padded>
float *writeIntensityRow(const QRgb *pixels, int width, const IntensityTables &t, float *out)
{
    for (int x = 0; x < width; ++x) {
        const QRgb p = pixels[x];
        // Same operands, same order as intensity(): the sums are bit-identical.
        *out++ = float((t.green[qGreen(p)] + t.red[qRed(p)]) + t.blue[qBlue(p)]);
        if (padded)
            *out++ = 0.0f;
    }
    return out;
}

// One row of pixels as QImage::pixel() gives them, in 32-bit form. Pictures
// in the 32-bit formats are read in place; 8-bit ones go through a table of
// what pixel() returns for each byte; the others ask pixel() itself.
class RowReader
{
public:
    explicit RowReader(const QImage &image)
        : image(image), width(image.width())
    {
        switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            mode = Mode::InPlace;
            break;
        case QImage::Format_Indexed8: {
            mode = Mode::Table;
            const QVector<QRgb> colours = image.colorTable();
            table.fill(0); // pixel() gives 0 for an index past the colour table
            for (int i = 0; i < colours.size() && i < 256; ++i)
                table[i] = colours[i];
            break;
        }
        default:
            if (image.depth() == 8) {
                mode = Mode::Table;
                QImage probe(256, 1, image.format());
                for (int i = 0; i < 256; ++i)
                    probe.scanLine(0)[i] = uchar(i);
                for (int i = 0; i < 256; ++i)
                    table[i] = probe.pixel(i, 0);
            } else {
                mode = Mode::PerPixel;
            }
            break;
        }
        if (mode != Mode::InPlace)
            row.resize(width);
    }

    const QRgb *read(int y)
    {
        switch (mode) {
        case Mode::InPlace:
            return reinterpret_cast<const QRgb *>(image.constScanLine(y));
        case Mode::Table: {
            const uchar *bytes = image.constScanLine(y);
            for (int x = 0; x < width; ++x)
                row[x] = table[bytes[x]];
            break;
        }
        case Mode::PerPixel:
            for (int x = 0; x < width; ++x)
                row[x] = image.pixel(x, y);
            break;
        }
        return row.data();
    }

private:
    enum class Mode { InPlace, Table, PerPixel };
    const QImage &image;
    const int width;
    Mode mode = Mode::PerPixel;
    std::array<QRgb, 256> table{};
    std::vector<QRgb> row;
};

} // namespace

void appendPixel(const PictureRequest &request, QRgb colour, std::vector<float> &tensor)
{
    const double red = normalised(request, 0, qRed(colour));
    const double green = normalised(request, 1, qGreen(colour));
    const double blue = normalised(request, 2, qBlue(colour));
    if (request.format == InputFormat::Intensity) {
        tensor.push_back(float(intensity(red, green, blue)));
    } else if (isColourFormat(request.format)) {
        const std::array<double, 3> rgb = {red, green, blue};
        for (int channel : channelOrder(request.format))
            tensor.push_back(float(rgb[channel]));
    }
    if (request.depth == 2 || request.depth == 4)
        tensor.push_back(0.0f);
}

std::vector<float> imageToTensor(const QImage &image, const PictureRequest &request)
{
    std::vector<float> tensor;
    if (image.isNull())
        return tensor;
    const int width = image.width();
    const int height = image.height();
    const bool padded = request.depth == 2 || request.depth == 4;

    if (!isColourFormat(request.format) && request.format != InputFormat::Intensity) {
        // No known channel order: the plain rule, whatever it makes of it.
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                appendPixel(request, image.pixel(x, y), tensor);
        return tensor;
    }

    // Rows are made in a small buffer and appended, which spares filling the
    // whole tensor with zeros first.
    const std::size_t rowValues = std::size_t(width) * valuesPerPixel(request.format, request.depth);
    tensor.reserve(rowValues * std::size_t(height));
    std::vector<float> row(rowValues);
    RowReader rows(image);
    if (request.format == InputFormat::Intensity) {
        const IntensityTables tables = intensityTables(request);
        for (int y = 0; y < height; ++y) {
            if (padded)
                writeIntensityRow<true>(rows.read(y), width, tables, row.data());
            else
                writeIntensityRow<false>(rows.read(y), width, tables, row.data());
            tensor.insert(tensor.end(), row.begin(), row.end());
        }
    } else {
        const ColourTables tables = colourTables(request);
        for (int y = 0; y < height; ++y) {
            if (padded)
                writeColourRow<true>(rows.read(y), width, tables, row.data());
            else
                writeColourRow<false>(rows.read(y), width, tables, row.data());
            tensor.insert(tensor.end(), row.begin(), row.end());
        }
    }
    return tensor;
}

namespace {

// The un-normalised channel value, or -1 when QColor::setRgb would refuse it.
int channelValue(const PictureRequest &request, int channel, float value)
{
    const float restored = float((double(value) - request.adder[channel]) * request.divider[channel]);
    // Truncation toward zero maps (-1, 256) onto 0..255; NaN fails both tests.
    if (!(restored > -1.0f && restored < 256.0f))
        return -1;
    return int(restored);
}

} // namespace

QImage tensorToImage(const PictureRequest &request, const std::vector<float> &tensor)
{
    const std::uint32_t width = request.width;
    const std::uint32_t height = request.height;
    if (width == 0 || height == 0 || width > std::uint32_t(std::numeric_limits<int>::max())
        || height > std::uint32_t(std::numeric_limits<int>::max()))
        return QImage();
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::black);

    const bool intensity = request.format == InputFormat::Intensity;
    const std::array<int, 3> order = channelOrder(request.format);
    const std::size_t stride = valuesPerPixel(request.format, request.depth);
    const std::size_t channels = intensity ? 1 : 3;
    std::size_t next = 0; // index of the current pixel's first value
    for (std::uint32_t y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (std::uint32_t x = 0; x < width; ++x, next += stride) {
            if (tensor.size() < channels || next > tensor.size() - channels)
                return image; // the tensor has run out: the rest stays black
            std::array<int, 3> rgb;
            for (std::size_t position = 0; position < 3; ++position) {
                const int channel = order[position];
                const float value = tensor[next + (intensity ? 0 : position)];
                rgb[channel] = channelValue(request, channel, value);
            }
            if (rgb[0] >= 0 && rgb[1] >= 0 && rgb[2] >= 0)
                line[x] = qRgb(rgb[0], rgb[1], rgb[2]);
            // else: QColor::setRgb refuses the colour and the pixel is opaque black
        }
    }
    return image;
}
