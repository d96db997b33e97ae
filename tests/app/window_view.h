// The main window as its user sees it: menu entries by their text, the status
// line, the busy indicator, the picture shown and the classification table.
// Tests read the window through these rather than through its members.
#pragma once

#include "app/picture_view.h"
#include "app/vraxgui.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

struct WindowView
{
    VRAXGUI &window;

    // The entry of any menu with this text ("&Run", "About"...), or null.
    QAction *entry(const QString &text) const
    {
        for (QAction *menu : window.menuBar()->actions())
            for (QAction *action : menu->menu()->actions())
                if (action->text() == text)
                    return action;
        return nullptr;
    }
    // The whole status line: the files part may be shortened on screen, its
    // tool tip holds all of it, the rates included.
    QString status() const { return window.statusBar()->findChild<QLabel *>()->toolTip(); }
    QProgressBar *busyIndicator() const { return window.statusBar()->findChild<QProgressBar *>(); }
    // The rates at the status line's right end ("25.00 (31.25) fps."), with
    // what follows them there ("Dropped 3.", "Recording.").
    QString rates() const
    {
        const auto *label = window.statusBar()->findChild<QLabel *>(QStringLiteral("rates"));
        return label ? label->text() : QString();
    }
    // The status line's passing note: why a command was refused.
    QString note() const { return window.statusBar()->currentMessage(); }
    // Waits until the work the last command started has ended (and its
    // message box, if any, has been answered); false after a minute.
    bool settle() const
    {
        // Commands the window has posted to itself (a drop) start first.
        QCoreApplication::sendPostedEvents();
        return QTest::qWaitFor([this] { return window.workbench().isIdle(); }, 60000);
    }
    // Drops the files on the window, as a file manager does.
    void drop(const QStringList &paths) const
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);
    }
    // Triggers the entry and waits for the work it starts.
    bool choose(const QString &text) const
    {
        QAction *action = entry(text);
        if (!action)
            return false;
        action->trigger();
        return settle();
    }
    PictureView *pictureView() const { return window.findChild<PictureView *>(); }
    // The classification results' table, when its window exists.
    static QTableWidget *resultTable()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *table = widget->findChild<QTableWidget *>(QStringLiteral("result_table")))
                return table;
        return nullptr;
    }
};
