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
#include <QProgressBar>
#include <QStatusBar>
#include <QTableWidget>

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
