// Asking before a command writes over files that exist: the file dialog asks
// only about the name typed, not about the name a suffix is added to nor
// about the files written beside it (a recording's JSON Lines).
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// True when none of files exists, or the user agreed to replace those that
// do (named in the question); false when the user declined.
bool mayReplace(QWidget *parent, const QString &title, const QStringList &files);
