// Files for driving the main window end to end on the simulator: a tiny
// classifier whose answer names the picture's dominant colour, its
// descriptions, and solid-colour pictures.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class VRAXGUI;

// Clears the simulator's injected faults, delays and virtual boards when made
// and when destroyed.
class WindowFixture
{
public:
    WindowFixture();
    ~WindowFixture();
    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    // A classifier description for the mean-colour model with the given
    // labels (one per line) and input format.
    QString writeDescription(const QString &name, const QString &labels = "red\ngreen\nblue",
                             const QString &format = "rgb", const QString &model = QString());
    // A picture of one colour.
    QString writePicture(const QString &name, const QColor &colour, const QSize &size = QSize(40, 32));
    QString writeFile(const QString &name, const QByteArray &contents);

    QString meanColourModel() const;
    // Red, green and blue pictures, in that order.
    QStringList colourPictures();
    // Opens the colour classifier on the window's board choice and chooses
    // the three colour pictures, which it returns.
    QStringList openColourClassifier(VRAXGUI &window);

private:
    QTemporaryDir dir;
};
