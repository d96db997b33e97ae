// The picture area and what the window does with it: results mapped onto the
// original picture, fitting, saving a result, the status line's rates at a
// narrow width, dropped files and the remembered settings.
#include "app/picture_view.h"
#include "app/vraxgui.h"
#include "sources/display_scaling_source.h"
#include "support/modal_answer.h"
#include "window_fixture.h"
#include "window_view.h"

#include <QAction>
#include <QClipboard>
#include <QImageReader>
#include <QMenu>
#include <QRegularExpression>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A 150 x 75 picture whose centre 75 x 75 became a 50 x 50 network input,
// with one detection whose outline runs through network pixels 10 and 46.
struct CroppedFrame
{
    PreparedPicture picture;
    FrameResult result;

    CroppedFrame()
    {
        picture.original = QImage(150, 75, QImage::Format_RGB32);
        picture.original.fill(qRgb(90, 90, 200));
        picture.crop = QRect(37, 0, 75, 75);
        picture.picture = QImage(50, 50, QImage::Format_RGB32);
        picture.picture.fill(qRgb(90, 90, 200));
        Detection box;
        box.x = 10, box.y = 10, box.width = 36, box.height = 36;
        box.confidence = 0.9;
        box.colour = Qt::yellow;
        result.detections.push_back(box);
    }
};

} // namespace

class PictureViewTest : public QObject
{
    Q_OBJECT

private slots:
    void resultsAreDrawnWhereTheyLieInEachView_data();
    void resultsAreDrawnWhereTheyLieInEachView();
    void ratesStayWholeInANarrowWindow();
    void saveAndCopyGiveTheAnnotatedOriginal();
    void saveAsksBeforeReplacingAndWritesTheSuffixsFormat_data();
    void saveAsksBeforeReplacingAndWritesTheSuffixsFormat();
    void fittedPictureKeepsItsAspectAndRunAutoScalesAhead();
    void aZoomedOutPictureIsCentredAndItsZoomShown();
    void droppedFilesOpenAsThroughTheMenus();
    void settingsAreRemembered();

private:
    WindowFixture files;
};

void PictureViewTest::resultsAreDrawnWhereTheyLieInEachView_data()
{
    QTest::addColumn<bool>("original");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("left");  // outline columns
    QTest::addColumn<int>("right");
    QTest::addColumn<bool>("dimmed"); // the part the network never saw
    // Network pixel 10 covers original columns 52 and 53 (from 37 + 10 x 1.5
    // on): its centre, 52.75, lies in column 52.
    QTest::newRow("original picture") << true << QSize(150, 75) << 52 << 106 << true;
    QTest::newRow("network input") << false << QSize(50, 50) << 10 << 46 << false;
}

void PictureViewTest::resultsAreDrawnWhereTheyLieInEachView()
{
    QFETCH(bool, original);
    QFETCH(QSize, size);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(bool, dimmed);
    PictureView view;
    view.setLabels({"shape"});
    view.setSource(original ? PictureView::Source::Original : PictureView::Source::Network);
    const CroppedFrame frame;
    view.showFrame(frame.picture, frame.result);

    const QImage shown = view.resultImage();
    QCOMPARE(shown.size(), size);
    const int middle = original ? 64 : 42; // a row inside the box, below its label
    const QRgb yellow = qRgb(255, 255, 0);
    QCOMPARE(shown.pixel(left, middle), yellow);
    QCOMPARE(shown.pixel(right, middle), yellow);
    QVERIFY(shown.pixel(left + 1, middle) != yellow);
    QVERIFY(shown.pixel(left - 1, middle) != yellow);
    QCOMPARE(shown.pixel(shown.width() / 2 + 3, shown.height() - 2) == qRgb(90, 90, 200), true);
    QCOMPARE(shown.pixel(1, shown.height() - 2) != qRgb(90, 90, 200), dimmed);
}

void PictureViewTest::ratesStayWholeInANarrowWindow()
{
    VRAXGUI window;
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString deep = QString("deep/").repeated(40);
    const QString description = files.writeDescription(deep + "colours.xml");
    window.openStartupFiles(description, {files.writePicture(deep + "red.png", Qt::red)});
    QVERIFY(WindowView{window}.settle());
    QVERIFY(WindowView{window}.choose("&Run"));
    QCoreApplication::processEvents();

    // The status bar's labels: the files, then the rates.
    const QList<QLabel *> labels = window.statusBar()->findChildren<QLabel *>();
    auto *rates = window.statusBar()->findChild<QLabel *>("rates");
    const QRegularExpression measured("^[0-9]+\\.[0-9]{2} \\([0-9]+\\.[0-9]{2}\\) fps\\.$");
    QVERIFY2(measured.match(rates->text()).hasMatch(), qPrintable(rates->text()));
    QVERIFY(rates->isVisible());
    QVERIFY(rates->width() >= rates->fontMetrics().horizontalAdvance(rates->text()));
    QVERIFY(window.statusBar()->rect().contains(rates->geometry()));
    // The folders are shortened in the middle, never the file names; the
    // whole line is in the tool tip.
    const QString shown = labels.at(0)->text();
    QVERIFY2(shown.startsWith("Board 0 (simulator), description: ") && shown.contains(QChar(0x2026))
                 && shown.contains("/colours.xml, picture: ") && shown.endsWith("/red.png. "),
             qPrintable(shown));
    // Within the label, unless both folders are down to their ellipsis.
    QVERIFY(labels.at(0)->fontMetrics().horizontalAdvance(shown) <= labels.at(0)->width()
            || (shown.contains(QString("description: %1/colours.xml").arg(QChar(0x2026)))
                && shown.contains(QString("picture: %1/red.png").arg(QChar(0x2026)))));
}

void PictureViewTest::saveAndCopyGiveTheAnnotatedOriginal()
{
    VRAXGUI window;
    window.show();
    const WindowView view{window};
    files.openColourClassifier(window);
    window.openStartupFiles(QString(), {files.writePicture("large.png", Qt::red, QSize(400, 320))});
    QVERIFY(view.settle());
    QTemporaryDir dir;
    QVERIFY(view.choose("&Run"));
    const QString saved = dir.filePath("result.png");
    answerNextFileDialog({saved});
    view.entry("&Save Result As...")->trigger();
    const QImage image(saved);
    QCOMPARE(image.size(), QSize(400, 320)); // the picture as given, not the 32 x 32 input
    // The caption names the top class over the red picture.
    int notRed = 0;
    for (int x = 0; x < image.width(); ++x)
        notRed += image.pixel(x, 6) != qRgb(255, 0, 0);
    QVERIFY2(notRed > 40, qPrintable(QString::number(notRed)));

    view.entry("&Copy")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), image);

    // A file that cannot be written is named in the error.
    const QString unwritable = dir.filePath("missing/folder/result.png");
    QString title, text;
    answerNextFileDialog({unwritable});
    acceptNextMessageBox(&title, &text);
    view.entry("&Save Result As...")->trigger();
    QCOMPARE(title, QString("Save Result"));
    QVERIFY2(text.startsWith("Cannot save the result to " + unwritable), qPrintable(text));
}

void PictureViewTest::saveAsksBeforeReplacingAndWritesTheSuffixsFormat_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("existing"); // a file there before, or empty
    QTest::addColumn<bool>("replace");     // the answer to the question
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("no suffix, declined") << "result" << "result.png" << false << "result.png" << QByteArray("old");
    QTest::newRow("no suffix, agreed") << "result" << "result.png" << true << "result.png" << QByteArray("png");
    QTest::newRow("jpeg, agreed") << "x.jpg" << "x.jpg" << true << "x.jpg" << QByteArray("jpeg");
    QTest::newRow("bmp") << "x.bmp" << "" << false << "x.bmp" << QByteArray("bmp");
    QTest::newRow("tiff") << "x.tiff" << "" << false << "x.tiff" << QByteArray("tiff");
}

// Save Result As asks before replacing the file it writes, the one with
// ".png" added included, and writes the format the suffix names.
void PictureViewTest::saveAsksBeforeReplacingAndWritesTheSuffixsFormat()
{
    QFETCH(QString, typed);
    QFETCH(QString, existing);
    QFETCH(bool, replace);
    QFETCH(QString, saved);
    QFETCH(QByteArray, format);
    VRAXGUI window;
    const WindowView view{window};
    files.openColourClassifier(window);
    QVERIFY(view.choose("&Run"));
    QTemporaryDir dir;
    if (!existing.isEmpty())
        QVERIFY(QFile::copy(files.writeFile("old.txt", "old"), dir.filePath(existing)));
    QString question;
    answerNextFileDialog({dir.filePath(typed)});
    answerNextMessageBox(replace ? QMessageBox::Yes : QMessageBox::No, &question);
    view.entry("&Save Result As...")->trigger();
    QCOMPARE(question.contains(dir.filePath(saved)), !existing.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{saved});
    QImageReader reader(dir.filePath(saved));
    reader.setDecideFormatFromContent(true);
    if (format == "old") {
        QFile kept(dir.filePath(saved));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
    } else {
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.size(), QSize(40, 32)); // the colour picture as given
    }
}

void PictureViewTest::fittedPictureKeepsItsAspectAndRunAutoScalesAhead()
{
    PictureView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    struct Pictures : FrameSource
    {
        CroppedFrame cropped;
        bool next(Frame &frame) override
        {
            frame.picture = cropped.picture;
            return true;
        }
    } pictures;
    view.showFrame(pictures.cropped.picture, FrameResult());
    const QSize area = view.canvas()->size();
    const QRect fitted = view.pictureRect();
    QCOMPARE(fitted.width(), area.width());
    QCOMPARE(fitted.height(), area.width() / 2);
    QVERIFY(fitted.height() < area.height());
    QCOMPARE(fitted.top(), (area.height() - fitted.height()) / 2);

    // Run Auto's reader scales each picture for the fitted area.
    DisplayScalingSource scaling(pictures);
    scaling.setTarget({view.fittedArea(), true});
    Frame first, again;
    QVERIFY(scaling.next(first) && scaling.next(again));
    const QImage shown = first.picture.originalShown;
    QCOMPARE(shown.size(), view.pictureRect().size());
    QCOMPARE(again.picture.originalShown.cacheKey(), shown.cacheKey()); // scaled once
    // The same pixels placed otherwise (another resize mode) are scaled anew.
    pictures.cropped.picture.placement = QRect(0, 12, 50, 25);
    Frame placed;
    QVERIFY(scaling.next(placed));
    QVERIFY(placed.picture.originalShown.cacheKey() != shown.cacheKey());
    pictures.cropped.picture.placement = QRect();
    QCOMPARE(shown.pixel(shown.width() / 2, 5), qRgb(90, 90, 200));
    QVERIFY(shown.pixel(2, 5) != qRgb(90, 90, 200)); // the unseen part dimmed

    // The view puts a picture scaled ahead on screen as it is; one scaled for
    // another size it scales itself.
    for (const bool fitting : {true, false}) {
        first.picture.originalShown = QImage(fitting ? shown.size() : shown.size() / 2, QImage::Format_RGB32);
        first.picture.originalShown.fill(Qt::magenta);
        view.showFrame(first.picture, FrameResult());
        const QImage screen = view.canvas()->grab().toImage();
        QCOMPARE(screen.pixel(view.pictureRect().center()) == QColor(Qt::magenta).rgb(), fitting);
    }

    view.setZoom(1.0); // Actual Size: 1:1 at the top left, with scroll bars as needed
    QCOMPARE(view.pictureRect(), QRect(0, 0, 150, 75));
    view.setSource(PictureView::Source::Network);
    QCOMPARE(view.pictureRect(), QRect(0, 0, 50, 50));
}

// Zoomed out below its actual size, a picture sits in the middle of the
// area; the status line shows the zoom, fitted or chosen.
void PictureViewTest::aZoomedOutPictureIsCentredAndItsZoomShown()
{
    VRAXGUI window;
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const WindowView view{window};
    files.openColourClassifier(window);
    auto *zoom = window.statusBar()->findChild<QLabel *>("zoom");
    QVERIFY(zoom && zoom->isVisible());
    PictureView *picture = view.pictureView();
    QCOMPARE(zoom->text(), QString("Zoom %1%").arg(qRound(picture->scale() * 100)));
    QVERIFY(picture->scale() > 2.0); // 40 x 32 pictures fitted

    view.entry("&Actual Size")->trigger();
    QCOMPARE(zoom->text(), QString("Zoom 100%"));
    view.entry("Zoom &Out")->trigger();
    QCOMPARE(zoom->text(), QString("Zoom 80%"));
    const QRect shown = picture->pictureRect();
    const QSize area = picture->canvas()->size();
    QCOMPARE(shown.size(), QSize(32, 26));
    QVERIFY2(qAbs(shown.center().x() - area.width() / 2) <= 1 && qAbs(shown.center().y() - area.height() / 2) <= 1,
             qPrintable(QString("picture at %1,%2 in %3 x %4").arg(shown.x()).arg(shown.y())
                            .arg(area.width()).arg(area.height())));
    view.entry("&Fit to Window")->trigger();
    QVERIFY(zoom->text() != "Zoom 80%");
}

void PictureViewTest::droppedFilesOpenAsThroughTheMenus()
{
    VRAXGUI window;
    const WindowView view{window};
    QTemporaryDir folder;
    for (const char *name : {"10.png", "2.png", "1.png"}) {
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.save(folder.filePath(name));
    }
    const QString description = files.writeDescription("dropped.xml");
    view.drop({description, folder.path()});
    QVERIFY(view.settle());
    QVERIFY2(view.status().contains("description: " + description + ", picture: " + folder.filePath("1.png")),
             qPrintable(view.status()));
    QCOMPARE(window.workbench().input().pictures(),
             QStringList({folder.filePath("1.png"), folder.filePath("2.png"), folder.filePath("10.png")}));

    QString title, text;
    acceptNextMessageBox(&title, &text);
    view.drop({folder.filePath("gone.png")});
    QVERIFY(view.settle());
    QCOMPARE(title, QString("Open Dropped Files"));
    QVERIFY2(text.contains("gone.png does not exist"), qPrintable(text));
}

void PictureViewTest::settingsAreRemembered()
{
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QCoreApplication::setOrganizationName("VRAX settings test");
    {
        VRAXGUI window;
        const WindowView view{window};
        window.openStartupFiles(files.writeDescription("remembered.xml"), {});
        QVERIFY(view.settle());
        view.entry("&Network Input")->trigger();
        view.entry("&Actual Size")->trigger();
        view.entry("Zoom &In")->trigger();
    }
    QSettings().setValue("pictures/maxMegapixels", 0.001); // kept in the file alone
    VRAXGUI window;
    const WindowView view{window};
    QCoreApplication::setOrganizationName(QString());
    QVERIFY(view.entry("&Network Input")->isChecked());
    QVERIFY(!view.entry("&Fit to Window")->isChecked() && !view.entry("&Actual Size")->isChecked());
    view.entry("Zoom &Out")->trigger(); // back from the zoom remembered
    QVERIFY(view.entry("&Actual Size")->isChecked());
    const QList<QAction *> recent = view.entry("Open Rec&ent")->menu()->actions();
    QCOMPARE(recent.size(), 1);
    QCOMPARE(recent.front()->text(), QString("&1 remembered.xml"));

    // The picture limit: a picture of 40 x 32 pixels is above 1000.
    QString text;
    acceptNextMessageBox(nullptr, &text);
    window.openStartupFiles(files.writeDescription("remembered.xml"), {files.writePicture("limited.png", Qt::red)});
    QVERIFY(view.settle());
    QVERIFY2(text.endsWith("limited.png is 40 x 32 pixels (0.00128 megapixels), more than the limit of 0.001 "
                           "megapixels"),
             qPrintable(text));
}

QTEST_MAIN(PictureViewTest)
#include "picture_view_test.moc"
