#include "window_fixture.h"

#include "support/shared_data.h"
#include "support/test_files.h"
#include "window_view.h"

#include <vrax_sim.h>

#include <QImage>
#include <QtTest>

namespace {

void clearInjections()
{
    VRAX_SIM_ClearInjections();
    qunsetenv("VRAX_BOARDS");
    qunsetenv("VRAX_COMPILER_FAULTS");
    qunsetenv("VRAX_COMPILER_DELAYS");
}

} // namespace

WindowFixture::WindowFixture()
{
    clearInjections();
}

WindowFixture::~WindowFixture()
{
    clearInjections();
}

QString WindowFixture::meanColourModel() const
{
    return QString::fromStdString(sourceDir()) + "/tests/data/mean_colour.onnx";
}

QString WindowFixture::writeFile(const QString &name, const QByteArray &contents)
{
    return writeTestFile(dir.filePath(name), contents);
}

QString WindowFixture::writeDescription(const QString &name, const QString &labels, const QString &format,
                                        const QString &model)
{
    const QString xml = QStringLiteral("<vrax_nn_description>\n"
                                       "  <input><model>%1</model><format>%2</format>"
                                       "<divider>255</divider><adder>0</adder></input>\n"
                                       "  <output><neural_network>classifier</neural_network>"
                                       "<labels>%3</labels></output>\n"
                                       "</vrax_nn_description>\n")
                            .arg(model.isEmpty() ? meanColourModel() : model, format, labels);
    return writeFile(name, xml.toUtf8());
}

QString WindowFixture::writePicture(const QString &name, const QColor &colour, const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir.filePath(name);
    image.save(path);
    return path;
}

QStringList WindowFixture::colourPictures()
{
    return {writePicture("red.png", Qt::red), writePicture("green.png", Qt::green),
            writePicture("blue.png", Qt::blue)};
}

QStringList WindowFixture::openColourClassifier(VRAXGUI &window)
{
    const QStringList pictures = colourPictures();
    window.openStartupFiles(writeDescription("colours.xml"), pictures);
    WindowView{window}.settle();
    const QString status = WindowView{window}.status();
    QTest::qVerify(status.contains("picture: " + pictures.front() + ". "), "opened",
                   qPrintable("the colour classifier did not open: " + status), __FILE__, __LINE__);
    return pictures;
}
